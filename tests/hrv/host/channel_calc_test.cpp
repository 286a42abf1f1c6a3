// SPDX-License-Identifier: MIT
#include "hrv/host/channel_calc.h"

#include <bit>
#include <cstdio>

#include "document_fixture.h"
#include "hrv/views/report_format.h"
#include "sdk/hrv/result_codes.h"

namespace {

using Settings = HRV::ChannelCalc::Settings;
using Fields = std::vector<std::uint32_t>;

TEST(ChannelCalcSettings, StreamIsVersionParameterAndTwoSixteenBitBooleans) {
  auto s = make_com<Settings>();
  s->Parameter = 2, s->GuideLines = false, s->Interpolate = true;
  auto stream = make_com<MemoryStream>();
  ASSERT_EQ(s->Save(stream.get(), VARIANT_TRUE), S_OK);
  EXPECT_EQ(stream->bytes(), (std::vector<std::uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0}));
  ASSERT_EQ(s->Load(make_com<MemoryStream>(std::vector<std::uint8_t>{1, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0, 0}).get()), S_OK);
  EXPECT_EQ(s->Parameter, 5);
  EXPECT_TRUE(s->GuideLines) << "any non-zero 16-bit value is true";
  EXPECT_FALSE(s->Interpolate);
  EXPECT_EQ(s->Load(make_com<MemoryStream>(std::vector<std::uint8_t>{2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0}).get()),
            HRV_E_NEWER_VERSION);
  EXPECT_EQ(s->Parameter, 5);
  EXPECT_FALSE(s->Interpolate);
}

class ChannelCalcTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    offer_analysis();
  }
  void TearDown() override {
    for (auto& c : host->computed) c.attached.reset();  // a channel and its calculation hold each other
    DocumentTest::TearDown();
  }
  ComPtr<HRV::ChannelCalc> calculation_with(std::int32_t parameter, bool guideLines = true, bool interpolate = false) {
    auto calc = make_com<HRV::ChannelCalc>(*static_cast<IHostDocument*>(host.get()));
    auto s = make_com<Settings>();
    s->Parameter = parameter, s->GuideLines = guideLines, s->Interpolate = interpolate;
    EXPECT_EQ(calc->ApplySettings(static_cast<IPersistStreamInit*>(s.get())), S_OK);
    return calc;
  }
  std::string expression(HRV::ChannelCalc& calc) {
    Bstr text;
    EXPECT_EQ(calc.GetExpression(text.put()), S_OK);
    return text.utf8();
  }
  // Attaches `calc` to a new computed channel and tells the document, as the host does; the
  // channel's index.
  std::uint32_t attach(HRV::ChannelCalc& calc) {
    ChannelId channel;
    const std::u16string name = u"Rate " + std::u16string(1, static_cast<char16_t>(u'A' + host->computed.size()));
    EXPECT_EQ(host->CreateChannel(name.c_str(), &channel), S_OK);
    EXPECT_EQ(host->SetCalculation(channel, static_cast<IChannelCalculation*>(&calc)), S_OK);
    EXPECT_EQ(deliver(data_notification(kChannelCalculationChanged), channel.index, channel.kind, 0, 0,
                      static_cast<IChannelCalculation*>(&calc)),
              S_OK);
    return static_cast<std::uint32_t>(channel.index);
  }
  // The chart messages since the last call: a value message as "line N at value unit" (the
  // double low word first), the others as their fields in hex.
  std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const auto& m : std::exchange(host->chartMessages, {})) {
      std::string text = m.type == kChartGuideLine ? "line" : m.type == kChartGuideBand ? "band" : "?";
      for (std::uint32_t f : m.fields) text.append(" ").append(hex(f));
      if (m.type == kChartGuideValue)
        text = std::string("line ")
                   .append(std::to_string(m.fields[1]))
                   .append(" at ")
                   .append(HRV::Sig4(std::bit_cast<double>(std::uint64_t{m.fields[2]} | std::uint64_t{m.fields[3]} << 32), m.text));
      out.push_back(text);
    }
    return out;
  }
  static std::string line(std::uint32_t index, int n, bool on) {
    return "line 0 21122 " + hex(index) + " " + std::to_string(n) + (on ? " 1 1" : " 0 0") + " 898989";
  }
  static std::string band(std::uint32_t index, bool on) {
    return "band 0 2121212 " + hex(index) + (on ? " 1 FEC2C2 0 0 1 FEC2C2" : " 0 0 0 0 0 0");
  }
  static std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
  }
};

TEST_F(ChannelCalcTest, TheExpressionSelectsTheChosenValueOfTheFiducialChannelOrZeroWithoutOne) {
  EXPECT_EQ(expression(*calculation_with(0)), "0");
  add_regular_beats();
  analyse_whole_channel();
  auto rate = calculation_with(2);
  EXPECT_EQ(expression(*rate), "HRVSelector(HRV_vFID,2,0)");
  EXPECT_EQ(expression(*calculation_with(5, true, true)), "HRVSelector(HRV_vFID,5,1)");
  Bstr unit, title;
  double top = 0, bottom = 0;
  ASSERT_EQ(rate->GetUnit(unit.put()), S_OK);
  ASSERT_EQ(rate->GetTitle(title.put()), S_OK);
  ASSERT_EQ(rate->GetDefaultScale(&top, &bottom), S_OK);
  EXPECT_EQ(unit.utf8() + ", " + title.utf8(), "BPM, HRV Calculation : Beat Rate");
  EXPECT_EQ((std::pair{top, bottom}), (std::pair{120.0, -120.0}));
  ChannelId fiducial;
  ASSERT_EQ(host->FindChannel(u"HRV_vFID", &fiducial), S_OK);
  ASSERT_EQ(host->DeleteChannel(fiducial), S_OK);  // as closing the analysis does
  EXPECT_EQ(expression(*calculation_with(0)), "0");
}

TEST_F(ChannelCalcTest, RefusesSettingsOfAnotherClassOrAnUnknownParameter) {
  auto calc = calculation_with(0);
  EXPECT_EQ(calc->ApplySettings(nullptr), E_POINTER);
  EXPECT_EQ(calc->ApplySettings(static_cast<IPersistStreamInit*>(&doc().settings())), E_INVALIDARG);
  auto s = make_com<Settings>();
  s->Parameter = 6;
  EXPECT_EQ(calc->ApplySettings(static_cast<IPersistStreamInit*>(s.get())), E_INVALIDARG);
  EXPECT_EQ(calc->settings().Parameter, 0) << "a refused apply keeps the settings";
}

TEST_F(ChannelCalcTest, GuideLinesLieAtTheBoxLimitsAndFollowTheBox) {
  host->add_beats(0, {1000, 1600, 2200, 2800}, 0.6, 1.2);
  analyse_whole_channel();  // default box: RR 0.8 to 1.2 s
  const std::uint32_t index = attach(*calculation_with(2));
  EXPECT_EQ(messages(), (std::vector<std::string>{"line 1 at 75 BPM", line(index, 1, true), "line 2 at 50 BPM", line(index, 2, true),
                                                  band(index, true)}));
  auto period = calculation_with(0);
  const std::uint32_t periodIndex = attach(*period);
  messages();
  doc().ClassifyAllBeatsAsNormal();  // a box around RR 0.6 s, widened by 5 % of the maximum
  const std::vector<std::string> m = messages();
  EXPECT_NE(std::find(m.begin(), m.end(), "line 1 at 0.57 s"), m.end());
  EXPECT_NE(std::find(m.begin(), m.end(), "line 2 at 0.63 s"), m.end());
  EXPECT_NE(std::find(m.begin(), m.end(), line(periodIndex, 2, true)), m.end());
}

TEST_F(ChannelCalcTest, GuideLinesAreRemovedWhenOffForAChangeOfPeriodOrWhenTheCalculationGoes) {
  add_regular_beats();
  analyse_whole_channel();
  for (auto calc : {calculation_with(0, false), calculation_with(1, true)}) {
    const std::uint32_t index = attach(*calc);
    EXPECT_EQ(messages(), (std::vector<std::string>{line(index, 1, false), line(index, 2, false), band(index, false)}));
    host->computed.back().attached.reset();
    host->computed.back().deleted = true;
  }
  const std::uint32_t index = attach(*calculation_with(2));
  messages();
  ASSERT_EQ(deliver(data_notification(kChannelCalculationChanged), static_cast<std::int32_t>(index), 4), S_OK);
  EXPECT_EQ(messages(), (std::vector<std::string>{line(index, 1, false), line(index, 2, false), band(index, false)}))
      << "the channel lost its calculation";
  doc().ClassifyAllBeatsAsNormal();
  EXPECT_TRUE(messages().empty()) << "a channel that lost its calculation is no longer followed";
}

}  // namespace
