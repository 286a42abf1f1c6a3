// SPDX-License-Identifier: MIT
#include "hrv/detect/detector.h"

#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "document_data_stub.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"

namespace {

// A host document that records what the detector asks of its computed-channel service.
class FakeHost final : public DocumentDataStub<IComputedChannels, IChannelCalculations> {
 public:
  struct Channel {
    std::string expression;
    bool flag = false;
    int resets = 0;
  };
  struct Calculation final : ComObject<IArithmeticCalculation, ICalculationReset> {
    FakeHost* host;
    std::string expression;
    std::string channel;
    explicit Calculation(FakeHost* h) : host(h) {}
    HRESULT Initialise(const char16_t* text, const char16_t*, BSTR*) override {
      expression = utf16_to_utf8(text);
      const auto& bad = host->reject_substring;
      return bad.empty() || expression.find(bad) == std::string::npos ? S_OK : E_INVALIDARG;
    }
    HRESULT GetExpression(BSTR*) override { return E_NOTIMPL; }
    HRESULT ResetCalculation() override {
      ++host->channels[channel].resets;
      return S_OK;
    }
  };

  std::vector<double> intervals;  // per record; 0 means the source has no data there
  double new_record_interval = 0.002;
  std::map<std::string, Channel> channels;
  std::vector<std::string> order;  // names by channel index
  std::map<std::int32_t, ComPtr<Calculation>> calculations;
  std::set<std::pair<std::int32_t, std::int32_t>> markers;  // (event channel index, target)
  bool fail_create = false;
  std::string reject_substring;  // expressions containing it are refused

  std::int32_t index_of(const std::string& name) const {
    for (std::size_t i = 0; i < order.size(); ++i)
      if (order[i] == name) return static_cast<std::int32_t>(i);
    return -1;
  }

  // IDocumentData
  HRESULT GetRecordCount(std::int32_t* n) override { *n = static_cast<std::int32_t>(intervals.size()); return S_OK; }
  HRESULT ChannelHasData(std::int32_t r, ChannelId, VARIANT_BOOL* has) override {
    *has = to_variant_bool(r >= 0 && r < static_cast<std::int32_t>(intervals.size()) && intervals[r] > 0);
    return S_OK;
  }
  HRESULT GetSampleInterval(std::int32_t r, ChannelId c, double* dt) override {
    EXPECT_EQ(c.kind & 0x80000000, 0) << "the flag bit must be masked off for data queries";
    *dt = r == TickPosition::kOpenEndRecord ? new_record_interval : intervals.at(r);
    return S_OK;
  }

  // IComputedChannels
  HRESULT FindChannel(const char16_t* name, ChannelId* c) override {
    std::int32_t i = index_of(utf16_to_utf8(name));
    *c = i < 0 ? ChannelId::not_found() : ChannelId{i, 0x04};
    return i < 0 ? S_FALSE : S_OK;
  }
  HRESULT CreateChannel(const char16_t* name, ChannelId* c) override {
    if (fail_create) return E_FAIL;
    std::string n = utf16_to_utf8(name);
    if (index_of(n) >= 0) return E_INVALIDARG;
    order.push_back(n);
    channels[n];
    *c = {static_cast<std::int32_t>(order.size() - 1), 0x04};
    return S_OK;
  }
  HRESULT DeleteChannel(ChannelId c) override {
    if (c.index < 0 || c.index >= static_cast<std::int32_t>(order.size()) || order[c.index].empty()) return E_INVALIDARG;
    channels.erase(order[c.index]);
    order[c.index].clear();
    return S_OK;
  }
  HRESULT GetChannelFlag(ChannelId c, VARIANT_BOOL* set) override { *set = to_variant_bool(channels[order[c.index]].flag); return S_OK; }
  HRESULT SetChannelFlag(ChannelId c, VARIANT_BOOL set) override { channels[order[c.index]].flag = set != 0; return S_OK; }
  HRESULT GetSourceName(ChannelId, BSTR* name) override { *name = SysAllocString(u"Filtered BP"); return S_OK; }
  HRESULT CreateArithmeticCalculation(IArithmeticCalculation** out) override {
    *out = new Calculation(this);
    return S_OK;
  }
  HRESULT SetCalculation(ChannelId c, IUnknown* calc) override {
    auto* typed = static_cast<Calculation*>(static_cast<IArithmeticCalculation*>(calc));
    typed->channel = order[c.index];
    channels[order[c.index]].expression = typed->expression;
    calculations[c.index] = ComPtr<Calculation>::retain(typed);
    return S_OK;
  }
  HRESULT ShowEventsOn(ChannelId e, std::int32_t t) override { markers.insert({e.index, t}); return S_OK; }
  HRESULT HideEventsOn(ChannelId e, std::int32_t t) override { markers.erase({e.index, t}); return S_OK; }
  HRESULT IsShowingEventsOn(ChannelId e, std::int32_t t, VARIANT_BOOL* shown) override {
    *shown = to_variant_bool(markers.count({e.index, t}) > 0);
    return S_OK;
  }

  // IChannelCalculations
  HRESULT GetCalculation(ChannelId c, IUnknown** out) override {
    auto it = calculations.find(c.index);
    if (it == calculations.end()) { *out = nullptr; return S_FALSE; }
    *out = static_cast<IArithmeticCalculation*>(it->second.get());
    (*out)->AddRef();
    return S_OK;
  }
};

class DetectorTest : public ::testing::Test {
 protected:
  ComPtr<FakeHost> host = make_com<FakeHost>();
  HRV::SettingsFields settings;
  std::string expr(const std::string& name) { return host->channels[name].expression; }
};

TEST_F(DetectorTest, DefaultSettingsGiveTheDocumentedChainText) {
  host->intervals = {0.001};
  HRV::HRVDetector detector(host.get());
  settings.StartRecord = 0;  // whole channel, unbounded end
  settings.StartTick = 0;
  ASSERT_TRUE(detector.Build(HRV::AllGroups, &settings));
  EXPECT_EQ(expr("HRV_vLPF"), "lowpass(Ch1,30)");
  EXPECT_EQ(expr("HRV_vDIF"), "differentiate(HRV_vLPF,3)");
  EXPECT_EQ(expr("HRV_vHLB"), "resample(HRV_vDIF,1,1,1,160,0,2)");
  EXPECT_EQ(expr("HRV_vENV"), "HRV_vDIF * HRV_vDIF + HRV_vHLB * HRV_vHLB");
  EXPECT_EQ(expr("HRV_vNRM"), "normalizeSec(HRV_vENV,5,2.5,0)");
  EXPECT_EQ(expr("HRV_vDET"), "cmpeakdet(HRV_vNRM,3,0.3,30)");
  EXPECT_EQ(expr("HRV_vFID"), "fiducial(HRV_vLPF,HRV_vDET,0.08,0,0.8,1.2,1,1.5,0,0,2.14748e+09,2.14748e+09,1)");
  settings.EndRecord = 3;
  settings.EndTick = 1234567;
  settings.ExcludeEctopic = false;
  ASSERT_TRUE(detector.Build(HRV::FiducialGroup, &settings));
  EXPECT_EQ(expr("HRV_vFID"), "fiducial(HRV_vLPF,HRV_vDET,0.08,0,0.8,1.2,1,1.5,0,0,3,1.23457e+06,0)");
}

TEST_F(DetectorTest, HilbertLengthUsesTheLatestRecordWithDataAndHasAFloor) {
  host->intervals = {0.004, 0.001, 0};  // the last record holds no data of the source
  HRV::HRVDetector detector(host.get());
  EXPECT_EQ(detector.HilbertLength(settings), 160);
  settings.QRSWidthSec = 0.005;
  EXPECT_EQ(detector.HilbertLength(settings), 21);
  settings.QRSWidthSec = 0.08;
  host->intervals = {1.0 / 360};
  EXPECT_EQ(detector.HilbertLength(settings), 57);  // 57.6 truncated
  host->intervals = {0, 0};  // no data anywhere: the interval a new record would have
  host->new_record_interval = 0.0005;
  EXPECT_EQ(detector.HilbertLength(settings), 320);
  host->new_record_interval = 0;
  EXPECT_EQ(detector.HilbertLength(settings), 21);
}

TEST_F(DetectorTest, SourceReferenceFollowsTheKindLowByte) {
  host->intervals = {0.001};
  HRV::HRVDetector detector(host.get());
  settings.SourceChannel = 2;
  settings.SourceKind = 1;
  EXPECT_EQ(utf16_to_utf8(detector.SourceReference(settings)), "RCh3");
  settings.SourceKind = static_cast<std::int32_t>(0xC0000000u);
  EXPECT_EQ(utf16_to_utf8(detector.SourceReference(settings)), "Ch3");
  settings.SourceKind = 4;
  EXPECT_EQ(utf16_to_utf8(detector.SourceReference(settings)), "Filtered BP");
}

TEST_F(DetectorTest, FiducialOnlyBuildLeavesTheOtherStagesAlone) {
  host->intervals = {0.001};
  HRV::HRVDetector detector(host.get());
  ASSERT_TRUE(detector.Build(HRV::AllGroups, &settings));
  settings.LowPassHz = 40;  // would change the low-pass text if the filter group were rebuilt
  settings.MinRR = 0.5;
  ASSERT_TRUE(detector.Build(HRV::FiducialGroup, &settings));
  EXPECT_EQ(expr("HRV_vLPF"), "lowpass(Ch1,30)");
  EXPECT_NE(expr("HRV_vFID").find(",0.5,1.2,"), std::string::npos) << expr("HRV_vFID");
}

TEST_F(DetectorTest, RejectedStagesFailTheBuildButOnlyDetectionStopsIt) {
  host->intervals = {0.001};
  HRV::HRVDetector detector(host.get());
  host->reject_substring = "lowpass";
  EXPECT_FALSE(detector.Build(HRV::AllGroups, &settings));
  // The rest of the filter group and the later groups were still attempted.
  EXPECT_EQ(expr("HRV_vDIF"), "differentiate(HRV_vLPF,3)");
  EXPECT_EQ(expr("HRV_vDET"), "cmpeakdet(HRV_vNRM,3,0.3,30)");
  EXPECT_EQ(expr("HRV_vFID").rfind("fiducial(", 0), 0u);

  host->reject_substring = "cmpeakdet";
  settings.MinRR = 0.6;
  EXPECT_FALSE(detector.Build(HRV::DetectionGroup | HRV::FiducialGroup, &settings));
  EXPECT_EQ(expr("HRV_vNRM"), "normalizeSec(HRV_vENV,5,2.5,0)");
  EXPECT_EQ(expr("HRV_vFID").find(",0.6,"), std::string::npos) << "fiducial group must not follow a failed detection group";
  EXPECT_FALSE(detector.Build(HRV::AllGroups, nullptr));

  host->reject_substring.clear();
  host->fail_create = true;
  HRV::PreviewDetector preview(host.get());
  EXPECT_FALSE(preview.Build(HRV::AllGroups, &settings));
  EXPECT_EQ(host->index_of("HRV_pFID"), -1);
}

TEST_F(DetectorTest, PreviewUsesItsOwnChannels) {
  host->intervals = {0.001};
  HRV::PreviewDetector preview(host.get());
  ASSERT_TRUE(preview.Build(HRV::AllGroups, &settings));
  for (const auto& [name, channel] : host->channels) {
    EXPECT_EQ(name.rfind("HRV_p", 0), 0u) << name;
    EXPECT_EQ(channel.expression.find("HRV_v"), std::string::npos) << channel.expression;
  }
  EXPECT_EQ(host->channels.size(), 7u);
}

TEST_F(DetectorTest, RefreshResetsSelectedGroupsAndTakesMarkersOff) {
  host->intervals = {0.001};
  HRV::HRVDetector detector(host.get());
  ASSERT_TRUE(detector.Build(HRV::AllGroups, &settings));
  ChannelId fid;
  ASSERT_TRUE(detector.FiducialChannel(&fid));
  ASSERT_TRUE(detector.ShowBeatMarkers(&settings));
  EXPECT_EQ(host->markers.count({fid.index, 0}), 1u);
  ASSERT_TRUE(detector.Refresh(HRV::DetectionGroup, &settings));
  EXPECT_TRUE(host->markers.empty());
  EXPECT_EQ(host->channels["HRV_vNRM"].resets, 1);
  EXPECT_EQ(host->channels["HRV_vDET"].resets, 1);
  EXPECT_EQ(host->channels["HRV_vLPF"].resets, 0);
  EXPECT_EQ(host->channels["HRV_vFID"].resets, 0);
  settings.ShowMarkers = false;
  EXPECT_FALSE(detector.ShowBeatMarkers(&settings));
  detector.SetBeatMarkers(fid, 0, true);
  EXPECT_EQ(host->markers.count({fid.index, 0}), 1u);
  detector.SetBeatMarkers(fid, 0, false);
  EXPECT_TRUE(host->markers.empty());
}

TEST_F(DetectorTest, DeleteChannelsRemovesAllSevenAndClearsFlags) {
  host->intervals = {0.001};
  HRV::HRVDetector detector(host.get());
  ChannelId fid;
  ASSERT_TRUE(detector.CreateChannels(&fid));
  EXPECT_TRUE(fid.found());
  host->channels["HRV_vENV"].flag = true;
  ASSERT_TRUE(detector.DeleteChannels());
  EXPECT_TRUE(host->channels.empty());
  EXPECT_FALSE(detector.FiducialChannel(&fid));
  EXPECT_FALSE(fid.found());
  EXPECT_TRUE(detector.DeleteChannels());  // nothing left to delete is not a failure
}

TEST_F(DetectorTest, WithoutADocumentNothingIsBuilt) {
  HRV::HRVDetector detector(nullptr);
  EXPECT_FALSE(detector.Build(HRV::AllGroups, &settings));
  EXPECT_FALSE(detector.Refresh(HRV::AllGroups, &settings));
}

}  // namespace
