// SPDX-License-Identifier: MIT
#include "hrv/views/rr_export.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "document_fixture.h"
#include "sdk/hrv/result_codes.h"

namespace {

TEST(RRIntervalText, WritesSixSignificantDigitsInTheClassicLocaleWithCrLf) {
  EXPECT_EQ(HRV::rr_interval_text(std::vector<double>{0.8125, 1.0, 0.81234567, 12.5, 0.000123456789}),
            "0.8125\r\n1\r\n0.812346\r\n12.5\r\n0.000123457\r\n");
  EXPECT_EQ(HRV::rr_interval_text({}), "");
}

class RRExportTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    std::filesystem::remove(path);
    DocumentTest::TearDown();
  }
  HRESULT save(IUnknown* document) {
    return make_com<HRV::RRIntervalSaveClassObject>()->Save(document, nullptr, utf8_to_utf16(path.string()).c_str());
  }
  HRESULT save() { return save(static_cast<IHostDocument*>(host.get())); }
  std::string file_text() const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("hrv_rr_export_" + std::to_string(::getpid()) + "_" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
};

TEST_F(RRExportTest, WritesOneLinePerIncludedBeatInBeatOrder) {
  offer_analysis();
  EXPECT_EQ(save(), S_FALSE);  // never analysed: an empty file
  EXPECT_EQ(file_text(), "");
  const std::pair<double, std::uint32_t> beats[] = {{0.8, 0x300}, {0.5, 0x001}, {0.8, 0x100}, {0.81, 0x300}};
  for (std::size_t i = 0; i < std::size(beats); ++i)
    host->add_beat({{1000 * static_cast<std::int32_t>(i + 1), 0}, beats[i].first, 0.0, 1.2, beats[i].second, 0});
  analyse_whole_channel();
  EXPECT_EQ(save(), S_OK);
  EXPECT_EQ(file_text(), "0.8\r\n0.81\r\n");
}

TEST_F(RRExportTest, WithoutAnHRVAnalysisTheFileIsRemovedAndTheUserTold) {
  std::ofstream(path) << "an earlier export";
  EXPECT_EQ(save(), HRV_E_EXPORT_FAILED);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(app->boxes.size(), 1u);
  EXPECT_EQ(app->boxes[0].text, "HRV Export RR Interval requires a valid HRV analysis. No data will be saved.");
  EXPECT_EQ(app->boxes[0].caption, "HRV RR Interval Text File");
  EXPECT_EQ(app->boxes[0].type, 0x10u);
  // Something that is no host document is refused without touching the file.
  std::ofstream(path) << "kept";
  EXPECT_EQ(save(nullptr), E_FAIL);
  EXPECT_EQ(save(app->identity()), E_FAIL);
  EXPECT_EQ(file_text(), "kept");
  EXPECT_EQ(app->boxes.size(), 1u);
}

TEST(RRIntervalSaveClass, OffersTheTextFileType) {
  auto exporter = make_com<HRV::RRIntervalSaveClassObject>();
  Bstr description, extension;
  ASSERT_EQ(exporter->GetFileType(description.put(), extension.put()), S_OK);
  EXPECT_EQ(description.utf8() + " ." + extension.utf8(), "HRV RR Interval Text File .txt");
  GUID category{};
  ASSERT_EQ(exporter->GetCategory(&category), S_OK);
  EXPECT_TRUE(category == kFileSaveCategory);
}

}  // namespace
