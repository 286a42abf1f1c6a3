// SPDX-License-Identifier: MIT
#include "hrv/host/tabulet_functions.h"

#include <cmath>
#include <map>

#include "document_fixture.h"

namespace {

class TabuletTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    offer_analysis();
  }
  ComPtr<ITabuletFunction> create(const std::string& key) {
    const auto infos = HRV::tabulet_functions();
    for (std::size_t i = 0; i < infos.size(); ++i)
      if (infos[i].key == key) {
        ComPtr<ITabuletFunction> f;
        auto cls = HRV::tabulet_function_classes()[i].query<ITabuletFunctionClass>();
        EXPECT_EQ(cls->CreateFunction(static_cast<IHostDocument*>(host.get()), 0, f.put()), S_OK) << key;
        return f;
      }
    ADD_FAILURE() << "no function " << key;
    return nullptr;
  }
  // The cell of `key` over [start, end) of `source` (the analysed document's own data).
  VARIANT cell(const std::string& key, TickPosition start, TickPosition end, HRESULT want = S_OK, IUnknown* source = nullptr) {
    ComPtr<ITabuletFunction> f = create(key);
    EXPECT_EQ(f->SetDataSource(source ? source : static_cast<IDocumentData*>(host.get())), S_OK);
    EXPECT_EQ(f->SetChannel({0, ChannelId::kDefaultKind}), S_OK);
    EXPECT_EQ(f->SetRange(start, end), S_OK);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(f->GetValue(&v), want) << key;
    f->ReleaseData();
    return v;
  }
  double number(const std::string& key, TickPosition start = {0, 0}, TickPosition end = {59000, 0}) {
    const VARIANT v = cell(key, start, end);
    EXPECT_EQ(v.vt, VT_R8) << key;
    return v.dblVal;
  }
  // Included normal beats from 1 s on with the given RR sequence repeated; delta-RR is the
  // difference to the previous RR.
  void add_beats(const std::vector<double>& rrs, int count) {
    double t = 1.0, previous = rrs.back();
    for (int i = 0; i < count; ++i) {
      const double rr = rrs[static_cast<std::size_t>(i) % rrs.size()];
      host->add_beat({{static_cast<std::int32_t>(std::lround(t * 1000)), 0}, rr, rr - previous, 1.2, 0x300, 0});
      previous = rr;
      t += rr;
    }
  }
};

// The statistics of a window written out from its beats, in the functions' display units.
TEST_F(TabuletTest, ValuesAreTheStatisticsOfTheBeatsInTheWindowInDisplayUnits) {
  add_beats({0.8, 0.95, 0.85, 1.05, 0.9, 0.78}, 50);
  host->beats[9].flags = 0x301;   // an included beat outside the RR range
  host->beats[20].flags = 0x100;  // not included
  analyse_whole_channel();
  const TickPosition from{5000, 0}, to{40000, 0};
  std::vector<double> rr, delta;
  for (const auto& b : host->beats)
    if (from <= b.at && b.at < to && (b.flags & 0x300) == 0x300) rr.push_back(b.rr), delta.push_back(b.deltaRR);
  const double n = static_cast<double>(rr.size());
  double mean = 0, rate = 0, squares = 0, over = 0, m2 = 0, d2 = 0, dmean = 0;
  for (std::size_t i = 0; i < rr.size(); ++i) {
    mean += rr[i] / n, rate += 60.0 / rr[i] / n, dmean += delta[i] / n;
    squares += delta[i] * delta[i], over += std::abs(delta[i]) > 0.05;
  }
  for (std::size_t i = 0; i < rr.size(); ++i) m2 += (rr[i] - mean) * (rr[i] - mean), d2 += (delta[i] - dmean) * (delta[i] - dmean);
  const std::map<std::string, double> expected = {
      {"MeanRR", 1e3 * mean}, {"SDRR", 1e3 * std::sqrt(m2 / (n - 1))}, {"CVRR", std::sqrt(m2 / (n - 1)) / mean},
      {"MeanRate", rate}, {"SDSD", 1e3 * std::sqrt(d2 / (n - 1))}, {"RMSSD", 1e3 * std::sqrt(squares / n)},
      {"pNNx", 100.0 * over / n}, {"SD1", 1e3 * std::sqrt(d2 / (n - 1) / 2)},
      {"SD2", 1e3 * std::sqrt(2 * m2 / (n - 1) - d2 / (n - 1) / 2)},
      {"AnalysisStart", 0.0}, {"AnalysisEnd", 120.0},  // the document's region, not the window
  };
  // Running sums against the sums written out here: agreement to ~1e-12.
  for (const auto& [key, value] : expected) EXPECT_NEAR(number(key, from, to), value, 1e-9 * std::max(1.0, value)) << key;
  for (auto [key, count] : {std::pair{"TotalCount", n}, {"NormalCount", n - 1}, {"EctopicCount", 1.0}}) {
    const VARIANT v = cell(key, from, to);
    EXPECT_EQ(v.vt, VT_I4) << key;
    EXPECT_EQ(v.lVal, count) << key;
  }
}

// The other functions are the document's own statistics of the same window.
TEST_F(TabuletTest, ARowEqualsTheDocumentsAnalysisOfTheSameWindow) {
  add_beats({0.8, 0.95, 0.85, 1.05, 0.9, 0.78}, 50);
  const TickPosition from{5000, 0}, to{40000, 0};
  doc().settings().AnalyseSelection = true;
  host->view->select(kSelectionRange, from, to);
  doc().Analyze();
  const HRV::AnalysisResults& r = doc().results();
  const std::map<std::string, double> expected = {
      {"MedianRR", HRV::MedianRR(r) * 1e3}, {"SDARR", HRV::SDARR(r) * 1e3}, {"TotalPower", r.spectrum().totalPower * 1e6},
      {"VLFPower", r.spectrum().vlfPower * 1e6}, {"LFPower", r.spectrum().lfPower * 1e6}, {"HFPower", r.spectrum().hfPower * 1e6},
      {"VLFPowerPercent", HRV::VLFPercent(r.spectrum())}, {"LFPowerPercent", HRV::LFPercent(r.spectrum())},
      {"LFPowerNU", HRV::LFnu(r.spectrum())}, {"HFPowerPercent", HRV::HFPercent(r.spectrum())},
      {"HFPowerNU", HRV::HFnu(r.spectrum())}, {"LFHFRatio", HRV::LFHFRatio(r.spectrum())},
  };
  for (const auto& [key, value] : expected) {
    if (std::isnan(value)) EXPECT_TRUE(std::isnan(number(key, from, to))) << key;  // SDARR of 35 s: an empty cell
    else EXPECT_DOUBLE_EQ(number(key, from, to), value) << key;
  }
}

// The cells of a row share one analysis of their stretch; a changed setting or a change of
// the beats that the document hears of must not be answered from it.
TEST_F(TabuletTest, TheSharedStretchIsAnalysedAgainAfterASettingOrTheBeatsChange) {
  add_beats({0.8, 0.95, 0.85, 1.05, 0.9, 0.78}, 50);
  analyse_whole_channel();
  const double pnn50 = number("pNNx"), mean = number("MeanRR");
  doc().settings().PRRThresholdSec = 0.12;
  EXPECT_LT(number("pNNx"), pnn50);
  host->beats.resize(20);
  doc().Analyze();
  EXPECT_NE(number("MeanRR"), mean);
}

TEST_F(TabuletTest, CellsStayEmptyWithoutBeatsForAnotherDocumentOrWithoutADataSource) {
  add_beats({1.0}, 10);
  analyse_whole_channel();
  for (const auto& f : HRV::tabulet_functions())
    EXPECT_EQ(cell(std::string(f.key), {30000, 0}, {30500, 0}, E_FAIL).vt, VT_EMPTY) << f.key;
  auto other = make_com<fake_host::HostDocument>();
  other->records = host->records;
  other->beats = host->beats;
  EXPECT_EQ(cell("MeanRR", {0, 0}, {59000, 0}, E_FAIL, static_cast<IDocumentData*>(other.get())).vt, VT_EMPTY);

  ComPtr<ITabuletFunction> f = create("MeanRR");
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(f->Calculate(kTabuletEverythingChanged, {0, ChannelId::kDefaultKind}, &v), E_FAIL);
  EXPECT_EQ(v.vt, VT_EMPTY);
  ASSERT_EQ(f->SetDataSource(static_cast<IDocumentData*>(host.get())), S_OK);
  ASSERT_EQ(f->SetRange({900, 0}, {1500, 0}), S_OK);  // the first beat only
  ASSERT_EQ(f->Calculate(kTabuletRangeChanged, {0, ChannelId::kDefaultKind}, &v), S_OK);
  EXPECT_NEAR(v.dblVal, 1000.0, 1e-9);
  f->ReleaseData();
  EXPECT_EQ(f->GetValue(&v), E_FAIL) << "released functions hold no data source";
}

TEST(TabuletFunctionClasses, ListTheTwentySevenFunctionsInOrderWithTheirUnitsAndRefuseBadDocuments) {
  const char* keys[] = {"AnalysisStart", "AnalysisEnd", "TotalCount", "NormalCount", "EctopicCount", "MeanRR",
                        "MedianRR", "SDRR", "CVRR", "MeanRate", "SDRate", "SDSD", "RMSSD", "pNNx", "SD1", "SD2",
                        "SDARR", "TotalPower", "VLFPower", "VLFPowerPercent", "LFPower", "LFPowerPercent",
                        "LFPowerNU", "HFPower", "HFPowerPercent", "HFPowerNU", "LFHFRatio"};
  const std::map<std::string, std::string> units = {{"MeanRR", "s -3"}, {"TotalPower", "s\u00b2 -3"}, {"pNNx", "% 0"},
                                                    {"VLFPowerPercent", " 0"}, {"MeanRate", "BPM 0"}, {"CVRR", " 0"}};
  const auto& classes = HRV::tabulet_function_classes();
  auto host = make_com<fake_host::HostDocument>();
  ASSERT_EQ(classes.size(), std::size(keys));
  for (std::size_t i = 0; i < classes.size(); ++i) {
    auto cls = classes[i].query<ITabuletFunctionClass>();
    Bstr key, unit;
    std::int32_t position = -1, exponent = 99;
    ASSERT_EQ(classes[i].query<IClassObjectInfo>()->GetInternalName(key.put()), S_OK);
    EXPECT_EQ(key.utf8(), keys[i]);
    ASSERT_EQ(cls->GetListPosition(&position), S_OK);
    EXPECT_EQ(position, static_cast<std::int32_t>(i));
    ComPtr<ITabuletFunction> f;
    ASSERT_EQ(cls->CreateFunction(static_cast<IHostDocument*>(host.get()), 0, f.put()), S_OK);
    ASSERT_EQ(f->GetUnit(unit.put(), &exponent), S_OK);
    if (units.count(keys[i])) {
      EXPECT_EQ(unit.utf8() + " " + std::to_string(exponent), units.at(keys[i]));
    }
  }
  ComPtr<ITabuletFunction> f;
  auto cls = classes[5].query<ITabuletFunctionClass>();
  EXPECT_EQ(cls->CreateFunction(nullptr, 0, f.put()), E_FAIL);
  EXPECT_EQ(cls->CreateFunction(static_cast<IHostDocument*>(host.get()), 1, f.put()), E_FAIL);
  EXPECT_FALSE(f);
}

}  // namespace
