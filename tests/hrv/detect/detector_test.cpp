// SPDX-License-Identifier: MIT
#include "hrv/detect/detector.h"

#include <gtest/gtest.h>

#include "fake_host_document.h"
#include "sdk/cpp/utf.h"

namespace {

class DetectorTest : public ::testing::Test {
 protected:
  void SetUp() override { host->records = {{0.0, 0.001, 1000}}; }
  std::string expr(const std::string& name) { return host->expression(name); }
  int resets(const std::string& name) { return host->channel(name)->calculation->resets; }

  ComPtr<fake_host::HostDocument> host = make_com<fake_host::HostDocument>();
  HRV::HRVDetector detector{host.get()};
  HRV::SettingsFields settings;
};

TEST_F(DetectorTest, DefaultSettingsGiveTheDocumentedChainText) {
  settings.StartRecord = settings.StartTick = 0;  // whole channel, unbounded end
  ASSERT_TRUE(detector.Build(HRV::AllGroups, &settings));
  EXPECT_EQ(expr("HRV_vLPF"), "lowpass(Ch1,30)");
  EXPECT_EQ(expr("HRV_vDIF"), "differentiate(HRV_vLPF,3)");
  EXPECT_EQ(expr("HRV_vHLB"), "resample(HRV_vDIF,1,1,1,160,0,2)");
  EXPECT_EQ(expr("HRV_vENV"), "HRV_vDIF * HRV_vDIF + HRV_vHLB * HRV_vHLB");
  EXPECT_EQ(expr("HRV_vNRM"), "normalizeSec(HRV_vENV,5,2.5,0)");
  EXPECT_EQ(expr("HRV_vDET"), "cmpeakdet(HRV_vNRM,3,0.3,30)");
  EXPECT_EQ(expr("HRV_vFID"), "fiducial(HRV_vLPF,HRV_vDET,0.08,0,0.8,1.2,1,1.5,0,0,2.14748e+09,2.14748e+09,1)");
  // Rebuilding the fiducial stage alone leaves the filters as they were.
  settings.EndRecord = 3, settings.EndTick = 1234567, settings.ExcludeEctopic = false, settings.LowPassHz = 40;
  ASSERT_TRUE(detector.Build(HRV::FiducialGroup, &settings));
  EXPECT_EQ(expr("HRV_vFID"), "fiducial(HRV_vLPF,HRV_vDET,0.08,0,0.8,1.2,1,1.5,0,0,3,1.23457e+06,0)");
  EXPECT_EQ(expr("HRV_vLPF"), "lowpass(Ch1,30)");
}

TEST_F(DetectorTest, HilbertLengthUsesTheLatestRecordWithDataAndHasAFloor) {
  host->records = {{0.0, 0.004, 100}, {1.0, 0.001, 100}, {2.0, 0.002, 0}};  // the last one holds no data yet
  EXPECT_EQ(detector.HilbertLength(settings), 160);
  settings.QRSWidthSec = 0.005;
  EXPECT_EQ(detector.HilbertLength(settings), 21);
  settings.QRSWidthSec = 0.08;
  host->records = {{0.0, 1.0 / 360, 100}};
  EXPECT_EQ(detector.HilbertLength(settings), 57);  // 57.6 truncated
  host->records = {{0.0, 0.001, 0}};  // no data anywhere: the interval a new record would have
  host->newRecordInterval = 0.0005;
  EXPECT_EQ(detector.HilbertLength(settings), 320);
  host->newRecordInterval = 0;
  EXPECT_EQ(detector.HilbertLength(settings), 21);
}

TEST_F(DetectorTest, SourceReferenceFollowsTheKindLowByte) {
  settings.SourceChannel = 2;
  settings.SourceKind = 1;
  EXPECT_EQ(utf16_to_utf8(detector.SourceReference(settings)), "RCh3");
  settings.SourceKind = static_cast<std::int32_t>(0xC0000000u);
  EXPECT_EQ(utf16_to_utf8(detector.SourceReference(settings)), "Ch3");
  ChannelId computed;
  ASSERT_EQ(host->CreateChannel(u"Filtered BP", &computed), S_OK);
  settings.SourceChannel = computed.index, settings.SourceKind = 4;  // a computed channel: the host names it
  EXPECT_EQ(utf16_to_utf8(detector.SourceReference(settings)), "Filtered BP");
}

TEST_F(DetectorTest, RejectedStagesFailTheBuildButOnlyDetectionStopsIt) {
  host->refusedExpressionText = "lowpass";
  EXPECT_FALSE(detector.Build(HRV::AllGroups, &settings));
  // The rest of the filter group and the later groups were still attempted.
  EXPECT_EQ(expr("HRV_vDIF"), "differentiate(HRV_vLPF,3)");
  EXPECT_EQ(expr("HRV_vDET"), "cmpeakdet(HRV_vNRM,3,0.3,30)");
  EXPECT_EQ(expr("HRV_vFID").rfind("fiducial(", 0), 0u);

  host->refusedExpressionText = "cmpeakdet";
  settings.MinRR = 0.6;
  EXPECT_FALSE(detector.Build(HRV::DetectionGroup | HRV::FiducialGroup, &settings));
  EXPECT_EQ(expr("HRV_vFID").find(",0.6,"), std::string::npos) << "a failed detection group stops the fiducial one";
  EXPECT_FALSE(detector.Build(HRV::AllGroups, nullptr));
  EXPECT_FALSE(HRV::HRVDetector(nullptr).Build(HRV::AllGroups, &settings));

  host->refuseNewChannels = true;
  EXPECT_FALSE(HRV::PreviewDetector(host.get()).Build(HRV::AllGroups, &settings));
  EXPECT_FALSE(host->channel("HRV_pFID"));
}

TEST_F(DetectorTest, PreviewUsesItsOwnChannels) {
  ASSERT_TRUE(HRV::PreviewDetector(host.get()).Build(HRV::AllGroups, &settings));
  ASSERT_EQ(host->live_channels().size(), 7u);
  for (const std::string& name : host->live_channels()) {
    EXPECT_EQ(name.rfind("HRV_p", 0), 0u) << name;
    EXPECT_EQ(expr(name).find("HRV_v"), std::string::npos) << expr(name);
  }
}

TEST_F(DetectorTest, RefreshResetsTheSelectedGroupsAndTakesTheMarkersOff) {
  ASSERT_TRUE(detector.Build(HRV::AllGroups, &settings));
  ChannelId fid;
  ASSERT_TRUE(detector.FiducialChannel(&fid));
  ASSERT_TRUE(detector.ShowBeatMarkers(&settings));
  EXPECT_EQ(host->markers.count({fid.index, 0}), 1u);
  ASSERT_TRUE(detector.Refresh(HRV::DetectionGroup, &settings));
  EXPECT_TRUE(host->markers.empty());
  EXPECT_EQ(resets("HRV_vNRM") + resets("HRV_vDET"), 2);
  EXPECT_EQ(resets("HRV_vLPF") + resets("HRV_vFID"), 0);
  settings.ShowMarkers = false;
  EXPECT_FALSE(detector.ShowBeatMarkers(&settings));
  EXPECT_TRUE(host->markers.empty());
  EXPECT_FALSE(HRV::HRVDetector(nullptr).Refresh(HRV::AllGroups, &settings));
}

TEST_F(DetectorTest, DeleteChannelsRemovesAllSevenAndClearsTheirFlags) {
  ChannelId fid;
  ASSERT_TRUE(detector.CreateChannels(&fid));
  EXPECT_TRUE(fid.found());
  host->channel("HRV_vENV")->flag = true;
  ASSERT_TRUE(detector.DeleteChannels());
  EXPECT_TRUE(host->live_channels().empty());
  EXPECT_FALSE(host->computed[3].flag);
  EXPECT_FALSE(detector.FiducialChannel(&fid));
  EXPECT_TRUE(detector.DeleteChannels());  // nothing left to delete is not a failure
}

}  // namespace
