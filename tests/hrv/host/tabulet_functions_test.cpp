// SPDX-License-Identifier: MIT
#include "hrv/host/tabulet_functions.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document_fixture.h"
#include "hrv/engine/statistics.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/utf.h"

namespace {

using document_test::DocumentTest;

struct Cell {
  HRESULT status;
  VARIANT value;
};

class TabuletTest : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    host->extensionDocumentClass = HRV::GUID_HRVDocumentObj;
    host->extensionDocument = ComPtr<IUnknown>::retain(document->identity());
  }
  void TearDown() override {
    host->extensionDocument.reset();  // the host document and the analysis hold each other
    DocumentTest::TearDown();
  }

  IUnknown* host_object() { return static_cast<IHostDocument*>(host.get()); }

  ComPtr<ITabuletFunction> create(const std::string& key) {
    const auto infos = HRV::tabulet_functions();
    for (std::size_t i = 0; i < infos.size(); ++i) {
      if (infos[i].key != key) continue;
      auto cls = HRV::tabulet_function_classes()[i].query<ITabuletFunctionClass>();
      ComPtr<ITabuletFunction> f;
      EXPECT_EQ(cls->CreateFunction(host_object(), 0, f.put()), S_OK) << key;
      return f;
    }
    ADD_FAILURE() << "no function " << key;
    return nullptr;
  }

  // The cell of `key` over [start, end) of the analysed document's own data.
  Cell cell(const std::string& key, TickPosition start, TickPosition end, IUnknown* source = nullptr) {
    ComPtr<ITabuletFunction> f = create(key);
    EXPECT_EQ(f->SetDataSource(source ? source : static_cast<IDocumentData*>(host.get())), S_OK);
    EXPECT_EQ(f->SetChannel({0, ChannelId::kDefaultKind}), S_OK);
    EXPECT_EQ(f->SetRange(start, end), S_OK);
    Cell c{E_UNEXPECTED, {}};
    VariantInit(&c.value);
    c.status = f->GetValue(&c.value);
    f->ReleaseData();
    return c;
  }
  double number(const std::string& key, TickPosition start, TickPosition end) {
    Cell c = cell(key, start, end);
    EXPECT_EQ(c.status, S_OK) << key;
    EXPECT_EQ(c.value.vt, VT_R8) << key;
    return c.value.dblVal;
  }

  // Included normal beats every `rr` s from tick 1000 of record 0, with the given RR
  // sequence repeated; delta-RR is the difference to the previous RR.
  void add_beats(const std::vector<double>& rrs, int count, std::uint32_t flags = 0x300) {
    double t = 1.0, previous = rrs.back();
    for (int i = 0; i < count; ++i) {
      const double rr = rrs[static_cast<std::size_t>(i) % rrs.size()];
      host->beats.push_back({{static_cast<std::int32_t>(std::lround(t * 1000)), 0}, rr, rr - previous, 1.2, flags, i + 1});
      previous = rr;
      t += rr;
    }
  }
};

TEST_F(TabuletTest, ARowEqualsTheDocumentsAnalysisOfTheSameWindow) {
  add_beats({0.8, 0.95, 0.85, 1.05, 0.9, 0.78}, 50);
  // The document analyses a window, its selection; a Tabulet row covers the same window.
  const TickPosition from{5000, 0}, to{40000, 0};
  doc().settings().AnalyseSelection = true;
  host->view->select(kSelectionRange, from, to);
  doc().Analyze();
  const HRV::AnalysisResults& r = doc().results();
  ASSERT_GT(r.beatCount, 10u);
  std::map<std::string, Cell> row;
  for (const auto& f : HRV::tabulet_functions()) row[std::string(f.key)] = cell(std::string(f.key), from, to);

  // Same beats, same arithmetic: equal up to the last bits of the scaling to ms and ms².
  const std::map<std::string, double> expected = {
      {"MeanRR", HRV::MeanRR(r) * 1e3},       {"MedianRR", HRV::MedianRR(r) * 1e3},
      {"SDRR", HRV::SDRR(r) * 1e3},           {"CVRR", HRV::CVRR(r)},
      {"MeanRate", HRV::MeanRate(r)},         {"SDRate", HRV::SDRate(r)},
      {"SDSD", HRV::SDSD(r) * 1e3},           {"RMSSD", HRV::RMSSD(r) * 1e3},
      {"pNNx", HRV::PRRx(r)},                 {"SD1", HRV::SD1(r) * 1e3},
      {"SD2", HRV::SD2(r) * 1e3},             {"SDARR", HRV::SDARR(r) * 1e3},
      {"TotalPower", r.spectrum.totalPower * 1e6}, {"VLFPower", r.spectrum.vlfPower * 1e6},
      {"LFPower", r.spectrum.lfPower * 1e6},  {"HFPower", r.spectrum.hfPower * 1e6},
      {"VLFPowerPercent", HRV::VLFPercent(r.spectrum)}, {"LFPowerPercent", HRV::LFPercent(r.spectrum)},
      {"LFPowerNU", HRV::LFnu(r.spectrum)},   {"HFPowerPercent", HRV::HFPercent(r.spectrum)},
      {"HFPowerNU", HRV::HFnu(r.spectrum)},   {"LFHFRatio", HRV::LFHFRatio(r.spectrum)},
      {"AnalysisStart", 5.0},                 {"AnalysisEnd", 40.0},
  };
  for (const auto& [key, value] : expected) {
    const Cell& c = row.at(key);
    ASSERT_EQ(c.status, S_OK) << key;
    ASSERT_EQ(c.value.vt, VT_R8) << key;
    EXPECT_DOUBLE_EQ(c.value.dblVal, value) << key;
  }
  for (const char* key : {"TotalCount", "NormalCount", "EctopicCount"}) {
    const Cell& c = row.at(key);
    ASSERT_EQ(c.status, S_OK) << key;
    EXPECT_EQ(c.value.vt, VT_I4) << key;
  }
  EXPECT_EQ(row.at("TotalCount").value.lVal, static_cast<std::int32_t>(r.beatCount));
}

TEST_F(TabuletTest, CountsAreIntegersOfIncludedBeats) {
  add_beats({1.0}, 6);
  host->beats[2].flags = 0x301;  // an included beat outside the RR range
  host->beats[4].flags = 0x100;  // not included
  analyse_whole_channel();
  const TickPosition from{0, 0}, to{59000, 0};
  const Cell total = cell("TotalCount", from, to), normal = cell("NormalCount", from, to), ectopic = cell("EctopicCount", from, to);
  ASSERT_EQ(total.value.vt, VT_I4);
  EXPECT_EQ(total.value.lVal, 5);
  EXPECT_EQ(normal.value.lVal, 4);
  EXPECT_EQ(ectopic.value.lVal, 1);
}

TEST_F(TabuletTest, AnalysisStartAndEndAreTheDocumentsRegionNotTheStretch) {
  add_beats({1.0}, 50);
  analyse_whole_channel();  // two records of 60 s
  EXPECT_DOUBLE_EQ(number("AnalysisStart", {5000, 0}, {40000, 0}), 0.0);
  EXPECT_DOUBLE_EQ(number("AnalysisEnd", {5000, 0}, {40000, 0}), 120.0);
}

TEST_F(TabuletTest, ValuesAreInTheirDisplayUnits) {
  // Eight beats of 0.8 s with one delta-RR of 0.1 s: 1 of 8 differences above 0.05 s.
  add_beats({0.8}, 8);
  host->beats[5].deltaRR = 0.1;
  analyse_whole_channel();
  const TickPosition from{0, 0}, to{59000, 0};
  // The mean of eight 0.8 s intervals, scaled to ms; off by rounding only.
  EXPECT_NEAR(number("MeanRR", from, to), 800.0, 1e-9);
  EXPECT_DOUBLE_EQ(number("pNNx", from, to), 12.5);

  const std::map<std::string, std::pair<std::string, std::int32_t>> units = {
      {"MeanRR", {"s", -3}}, {"TotalPower", {"s\u00b2", -3}}, {"pNNx", {"%", 0}},
      {"VLFPowerPercent", {"", 0}}, {"MeanRate", {"BPM", 0}}, {"CVRR", {"", 0}}};
  for (const auto& [key, unit] : units) {
    Bstr text;
    std::int32_t exponent = 99;
    ASSERT_EQ(create(key)->GetUnit(text.put(), &exponent), S_OK);
    EXPECT_EQ(text.utf8(), unit.first) << key;
    EXPECT_EQ(exponent, unit.second) << key;
  }
}

TEST_F(TabuletTest, AStretchWithoutBeatsLeavesEveryCellEmpty) {
  add_beats({1.0}, 10);
  analyse_whole_channel();
  for (const auto& f : HRV::tabulet_functions()) {
    Cell c = cell(std::string(f.key), {30000, 0}, {30500, 0});
    EXPECT_EQ(c.status, E_FAIL) << f.key;
    EXPECT_EQ(c.value.vt, VT_EMPTY) << f.key;
  }
}

TEST_F(TabuletTest, AnotherDocumentsDataLeavesTheCellEmpty) {
  add_beats({1.0}, 10);
  analyse_whole_channel();
  auto other = make_com<fake_host::HostDocument>();
  other->records = host->records;
  other->beats = host->beats;
  Cell c = cell("MeanRR", {0, 0}, {59000, 0}, static_cast<IDocumentData*>(other.get()));
  EXPECT_EQ(c.status, E_FAIL);
  EXPECT_EQ(c.value.vt, VT_EMPTY);
}

TEST_F(TabuletTest, CalculateNeedsADataSourceAndRecalculatesOnANewRange) {
  add_beats({0.8, 1.0}, 20);
  analyse_whole_channel();
  ComPtr<ITabuletFunction> f = create("MeanRR");
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(f->Calculate(kTabuletEverythingChanged, {0, ChannelId::kDefaultKind}, &v), E_FAIL);
  EXPECT_EQ(v.vt, VT_EMPTY);

  ASSERT_EQ(f->SetDataSource(static_cast<IDocumentData*>(host.get())), S_OK);
  ASSERT_EQ(f->SetRange({900, 0}, {1500, 0}), S_OK);  // the first beat only: RR 0.8 s
  ASSERT_EQ(f->Calculate(kTabuletRangeChanged, {0, ChannelId::kDefaultKind}, &v), S_OK);
  EXPECT_NEAR(v.dblVal, 800.0, 1e-9);  // one interval, scaled to ms
  ASSERT_EQ(f->SetRange({1500, 0}, {2500, 0}), S_OK);  // the second beat only: RR 1 s
  ASSERT_EQ(f->Calculate(kTabuletRangeChanged, {0, ChannelId::kDefaultKind}, &v), S_OK);
  EXPECT_NEAR(v.dblVal, 1000.0, 1e-9);

  f->ReleaseData();
  EXPECT_EQ(f->GetValue(&v), E_FAIL) << "released functions hold no data source";
}

TEST(TabuletFunctionClasses, ListTheTwentySevenFunctionsInOrder) {
  const char* keys[] = {"AnalysisStart", "AnalysisEnd", "TotalCount", "NormalCount", "EctopicCount", "MeanRR",
                        "MedianRR", "SDRR", "CVRR", "MeanRate", "SDRate", "SDSD", "RMSSD", "pNNx", "SD1", "SD2",
                        "SDARR", "TotalPower", "VLFPower", "VLFPowerPercent", "LFPower", "LFPowerPercent",
                        "LFPowerNU", "HFPower", "HFPowerPercent", "HFPowerNU", "LFHFRatio"};
  const auto& classes = HRV::tabulet_function_classes();
  ASSERT_EQ(classes.size(), std::size(keys));
  for (std::size_t i = 0; i < classes.size(); ++i) {
    auto info = classes[i].query<IClassObjectInfo>();
    auto cls = classes[i].query<ITabuletFunctionClass>();
    ASSERT_TRUE(info && cls);
    Bstr key, name, description, title, shortTitle;
    std::int32_t position = -1;
    ASSERT_EQ(info->GetInternalName(key.put()), S_OK);
    EXPECT_EQ(key.utf8(), keys[i]);
    ASSERT_EQ(cls->GetListPosition(&position), S_OK);
    EXPECT_EQ(position, static_cast<std::int32_t>(i));
    ASSERT_EQ(info->GetDisplayName(name.put()), S_OK);
    ASSERT_EQ(cls->GetDescription(description.put()), S_OK);
    ASSERT_EQ(cls->GetTitles(title.put(), shortTitle.put()), S_OK);
    EXPECT_FALSE(name.utf8().empty()) << keys[i];
    EXPECT_FALSE(description.utf8().empty()) << keys[i];
    EXPECT_EQ(title.utf8(), name.utf8()) << keys[i];
    EXPECT_EQ(shortTitle.utf8(), name.utf8()) << keys[i];
  }
}

TEST(TabuletFunctionClasses, RefuseANullDocumentAndANonZeroLastArgument) {
  auto cls = HRV::tabulet_function_classes()[5].query<ITabuletFunctionClass>();
  auto host = make_com<fake_host::HostDocument>();
  ComPtr<ITabuletFunction> f;
  EXPECT_EQ(cls->CreateFunction(nullptr, 0, f.put()), E_FAIL);
  EXPECT_FALSE(f);
  EXPECT_EQ(cls->CreateFunction(static_cast<IHostDocument*>(host.get()), 1, f.put()), E_FAIL);
  EXPECT_FALSE(f);
}

}  // namespace
