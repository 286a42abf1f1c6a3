// SPDX-License-Identifier: MIT
#include "hrv/views/rr_export.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document_fixture.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/utf.h"
#include "sdk/hrv/result_codes.h"

namespace {

using document_test::DocumentTest;

TEST(RRIntervalText, WritesSixSignificantDigitsInTheClassicLocaleWithCrLf) {
  const struct {
    double rr;
    const char* line;
  } cases[] = {{0.8125, "0.8125"}, {1.0, "1"}, {0.81234567, "0.812346"}, {12.5, "12.5"}, {0.000123456789, "0.000123457"}};
  for (const auto& c : cases) EXPECT_EQ(HRV::rr_interval_text(std::vector<double>{c.rr}), std::string(c.line) + "\r\n") << c.rr;
  EXPECT_EQ(HRV::rr_interval_text({}), "");
}

class RRExportTest : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    path = std::filesystem::temp_directory_path() /
           ("hrv_rr_export_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
    std::filesystem::remove(path);
  }
  void TearDown() override {
    host->extensionDocument.reset();  // the host document and the analysis hold each other
    std::filesystem::remove(path);
    DocumentTest::TearDown();
  }
  void offer_analysis() {
    host->extensionDocumentClass = HRV::GUID_HRVDocumentObj;
    host->extensionDocument = ComPtr<IUnknown>::retain(document->identity());
  }
  HRESULT save() { return exporter->Save(static_cast<IHostDocument*>(host.get()), nullptr, utf8_to_utf16(path.string()).c_str()); }
  std::string file_text() const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void add_beat(std::int32_t tick, double rr, std::uint32_t flags) {
    host->beats.push_back({{tick, 0}, rr, 0.0, 1.2, flags, static_cast<std::int32_t>(host->beats.size() + 1)});
  }

  std::filesystem::path path;
  ComPtr<HRV::RRIntervalSaveClassObject> exporter = make_com<HRV::RRIntervalSaveClassObject>();
};

TEST_F(RRExportTest, WritesOneLinePerIncludedBeatInBeatOrder) {
  add_beat(1000, 0.8, 0x300);
  add_beat(1810, 0.81, 0x300);
  add_beat(2605, 0.795, 0x300);
  offer_analysis();
  analyse_whole_channel();

  EXPECT_EQ(save(), S_OK);
  EXPECT_EQ(file_text(), "0.8\r\n0.81\r\n0.795\r\n");
  EXPECT_TRUE(app->boxes.empty());
}

TEST_F(RRExportTest, LeavesOutEctopicBeatsAndTheBeatsAfterThem) {
  add_beat(1000, 0.8, 0x300);
  add_beat(1500, 0.5, 0x001);  // RR outside the box, not used
  add_beat(2300, 0.8, 0x100);  // follows an ectopic beat: its delta-RR is not used
  add_beat(3100, 0.8, 0x300);
  add_beat(3950, 0.85, 0x300);
  offer_analysis();
  analyse_whole_channel();
  ASSERT_EQ(doc().results().rrSeries.size(), 3u);

  EXPECT_EQ(save(), S_OK);
  EXPECT_EQ(file_text(), "0.8\r\n0.8\r\n0.85\r\n");
}

TEST_F(RRExportTest, ADocumentNeverAnalysedGivesAnEmptyFile) {
  offer_analysis();
  EXPECT_EQ(save(), S_FALSE);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(file_text(), "");
}

TEST_F(RRExportTest, WithoutAnHRVAnalysisTheFileIsRemovedAndTheUserTold) {
  std::ofstream(path) << "an earlier export";
  EXPECT_EQ(save(), HRV_E_EXPORT_FAILED);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(app->boxes.size(), 1u);
  EXPECT_EQ(app->boxes[0].text, "HRV Export RR Interval requires a valid HRV analysis. No data will be saved.");
  EXPECT_EQ(app->boxes[0].caption, "HRV RR Interval Text File");
  EXPECT_EQ(app->boxes[0].type, 0x10u);
}

TEST_F(RRExportTest, SomethingThatIsNoHostDocumentIsRefusedWithoutTouchingTheFile) {
  std::ofstream(path) << "kept";
  EXPECT_EQ(exporter->Save(nullptr, nullptr, utf8_to_utf16(path.string()).c_str()), E_FAIL);
  EXPECT_EQ(exporter->Save(app->identity(), nullptr, utf8_to_utf16(path.string()).c_str()), E_FAIL);
  EXPECT_EQ(file_text(), "kept");
  EXPECT_TRUE(app->boxes.empty());
}

TEST(RRIntervalSaveClass, OffersTheTextFileType) {
  auto exporter = make_com<HRV::RRIntervalSaveClassObject>();
  Bstr description, extension;
  ASSERT_EQ(exporter->GetFileType(description.put(), extension.put()), S_OK);
  EXPECT_EQ(description.utf8(), "HRV RR Interval Text File");
  EXPECT_EQ(extension.utf8(), "txt");
  GUID category{};
  ASSERT_EQ(exporter->GetCategory(&category), S_OK);
  EXPECT_TRUE(category == kFileSaveCategory);
}

}  // namespace
