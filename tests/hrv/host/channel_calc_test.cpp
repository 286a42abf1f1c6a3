// SPDX-License-Identifier: MIT
#include "hrv/host/channel_calc.h"

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document_fixture.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"
#include "sdk/hrv/result_codes.h"

namespace {

using document_test::DocumentTest;
using Settings = HRV::ChannelCalc::Settings;
using Message = fake_host::HostDocument::ChartMessageCopy;

std::vector<std::uint8_t> saved(Settings& s) {
  auto stream = make_com<MemoryStream>();
  EXPECT_EQ(s.Save(stream.get(), VARIANT_TRUE), S_OK);
  return stream->bytes();
}

HRESULT load(Settings& s, const std::vector<std::uint8_t>& bytes) {
  auto stream = make_com<MemoryStream>(bytes);
  return s.Load(stream.get());
}

TEST(ChannelCalcSettings, StreamIsVersionParameterAndTwoSixteenBitBooleans) {
  auto s = make_com<Settings>();
  s->Parameter = 2;
  s->GuideLines = false;
  s->Interpolate = true;
  const std::vector<std::uint8_t> expected = {1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(saved(*s), expected);

  auto back = make_com<Settings>();
  ASSERT_EQ(load(*back, {1, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0, 0}), S_OK);
  EXPECT_EQ(back->Parameter, 5);
  EXPECT_TRUE(back->GuideLines) << "any non-zero 16-bit value is true";
  EXPECT_FALSE(back->Interpolate);
}

TEST(ChannelCalcSettings, ANewerVersionIsRefusedAndChangesNothing) {
  auto s = make_com<Settings>();
  s->Parameter = 5;
  EXPECT_EQ(load(*s, {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0}), HRV_E_NEWER_VERSION);
  EXPECT_EQ(s->Parameter, 5);
  EXPECT_TRUE(s->GuideLines);
  EXPECT_FALSE(s->Interpolate);
}

TEST(ChannelCalcDialog, OffersFourParametersAndDisablesGuideLinesForAChangeOfPeriod) {
  auto s = make_com<Settings>();
  s->Parameter = 5;
  s->GuideLines = false;
  HRV::Dialog dialog(*s);
  ASSERT_EQ(dialog.entries().size(), 4u);
  const std::uint32_t ids[] = {14, 15, 16, 17};
  const std::int32_t parameters[] = {0, 1, 2, 5};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(dialog.entries()[i].textId, ids[i]);
    EXPECT_EQ(dialog.entries()[i].parameter, parameters[i]);
  }
  EXPECT_EQ(dialog.selection(), 3);
  EXPECT_FALSE(dialog.guide_lines_checked());
  EXPECT_TRUE(dialog.guide_lines_enabled());

  dialog.check_guide_lines(true);
  dialog.select(1);  // Change in Beat Period
  EXPECT_EQ(s->Parameter, 1);
  EXPECT_TRUE(s->GuideLines);
  EXPECT_FALSE(dialog.guide_lines_enabled());
  dialog.select(2);  // Beat Rate
  EXPECT_TRUE(dialog.guide_lines_enabled());

  dialog.check_guide_lines(false);
  EXPECT_TRUE(dialog.ok());
  EXPECT_EQ(s->Parameter, 2);
  EXPECT_FALSE(s->GuideLines);
}

TEST(ChannelCalcDialog, OpensWithoutSelectionOnAParameterItDoesNotOffer) {
  auto s = make_com<Settings>();
  s->Parameter = 3;
  HRV::Dialog dialog(*s);
  EXPECT_EQ(dialog.selection(), -1);
  EXPECT_TRUE(dialog.ok());
  EXPECT_EQ(s->Parameter, 3) << "OK without a selection keeps the parameter";
}

// The fields of a guide-line value message hold the double low word first.
double value_of(const Message& m) {
  return std::bit_cast<double>(std::uint64_t{m.fields[2]} | (std::uint64_t{m.fields[3]} << 32));
}

class ChannelCalcTest : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    host->extensionDocumentClass = HRV::GUID_HRVDocumentObj;
    host->extensionDocument = ComPtr<IUnknown>::retain(document->identity());
  }
  void TearDown() override {
    host->extensionDocument.reset();  // the host document and the analysis hold each other
    for (auto& c : host->computed) c.attached.reset();  // and so do a channel and its calculation
    DocumentTest::TearDown();
  }

  ComPtr<HRV::ChannelCalc> calculation_with(std::int32_t parameter, bool guideLines = true, bool interpolate = false) {
    auto calc = make_com<HRV::ChannelCalc>(*static_cast<IHostDocument*>(host.get()));
    auto s = make_com<Settings>();
    s->Parameter = parameter;
    s->GuideLines = guideLines;
    s->Interpolate = interpolate;
    EXPECT_EQ(calc->ApplySettings(static_cast<IPersistStreamInit*>(s.get())), S_OK);
    return calc;
  }
  std::string expression(HRV::ChannelCalc& calc) {
    Bstr text;
    EXPECT_EQ(calc.GetExpression(text.put()), S_OK);
    return text.utf8();
  }
  // Attaches `calc` to a new computed channel and tells the document, as the host does.
  ChannelId attach(HRV::ChannelCalc& calc) {
    ChannelId channel;
    EXPECT_EQ(host->CreateChannel(u"Rate", &channel), S_OK);
    EXPECT_EQ(host->SetCalculation(channel, static_cast<IChannelCalculation*>(&calc)), S_OK);
    EXPECT_EQ(deliver(data_notification(kChannelCalculationChanged), channel.index, channel.kind, 0, 0,
                      static_cast<IChannelCalculation*>(&calc)),
              S_OK);
    return channel;
  }
};

TEST_F(ChannelCalcTest, BeatRateSelectsTypeTwoOfTheFiducialChannelInBeatsPerMinute) {
  add_regular_beats();
  analyse_whole_channel();
  auto calc = calculation_with(2);
  EXPECT_EQ(expression(*calc), "HRVSelector(HRV_vFID,2,0)");
  Bstr unit, title;
  double top = 0, bottom = 0;
  ASSERT_EQ(calc->GetUnit(unit.put()), S_OK);
  ASSERT_EQ(calc->GetTitle(title.put()), S_OK);
  ASSERT_EQ(calc->GetDefaultScale(&top, &bottom), S_OK);
  EXPECT_EQ(unit.utf8(), "BPM");
  EXPECT_EQ(title.utf8(), "HRV Calculation : Beat Rate");
  EXPECT_EQ(top, 120.0);
  EXPECT_EQ(bottom, -120.0);

  EXPECT_EQ(expression(*calculation_with(5, true, true)), "HRVSelector(HRV_vFID,5,1)");
}

TEST_F(ChannelCalcTest, WithoutAnAnalysisTheChannelShowsZero) {
  auto calc = calculation_with(0);
  EXPECT_EQ(expression(*calc), "0");
  Bstr unit;
  ASSERT_EQ(calc->GetUnit(unit.put()), S_OK);
  EXPECT_EQ(unit.utf8(), "s");

  add_regular_beats();
  analyse_whole_channel();
  EXPECT_EQ(expression(*calculation_with(0)), "HRVSelector(HRV_vFID,0,0)");
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

TEST_F(ChannelCalcTest, GuideLinesOfBeatRateLieAtTheRatesOfTheBoxLimits) {
  add_regular_beats();
  analyse_whole_channel();  // default box: RR 0.8 to 1.2 s
  auto calc = calculation_with(2);
  const ChannelId channel = attach(*calc);
  const std::vector<Message>& m = host->chartMessages;
  ASSERT_EQ(m.size(), 5u);
  const std::uint32_t index = static_cast<std::uint32_t>(channel.index);
  EXPECT_EQ(m[0].type, kChartGuideValue);
  EXPECT_EQ(m[0].fields[0], index);
  EXPECT_EQ(m[0].fields[1], 1u);
  EXPECT_DOUBLE_EQ(value_of(m[0]), 75.0);  // 60 / 0.8 s
  EXPECT_EQ(m[0].text, "BPM");
  EXPECT_EQ(m[1].type, kChartGuideLine);
  EXPECT_EQ(m[1].fields, (std::vector<std::uint32_t>{0, 0x21122, index, 1, 1, 1, 0x898989}));
  EXPECT_EQ(m[2].type, kChartGuideValue);
  EXPECT_EQ(m[2].fields[1], 2u);
  EXPECT_DOUBLE_EQ(value_of(m[2]), 50.0);  // 60 / 1.2 s
  EXPECT_EQ(m[3].fields, (std::vector<std::uint32_t>{0, 0x21122, index, 2, 1, 1, 0x898989}));
  EXPECT_EQ(m[4].type, kChartGuideBand);
  EXPECT_EQ(m[4].fields, (std::vector<std::uint32_t>{0, 0x2121212, index, 1, 0xFEC2C2, 0, 0, 1, 0xFEC2C2}));
}

TEST_F(ChannelCalcTest, GuideLinesFollowTheBoxWhenBeatsAreClassifiedAsNormal) {
  std::vector<std::int32_t> ticks;
  for (std::int32_t t = 1000; t < 50000; t += 1000) ticks.push_back(t);
  host->add_beats(0, ticks, 0.6, 1.2);
  analyse_whole_channel();
  auto calc = calculation_with(0);
  attach(*calc);
  host->chartMessages.clear();

  doc().ClassifyAllBeatsAsNormal();  // box around RR 0.6 s, widened by 5 % of the maximum
  ASSERT_EQ(host->chartMessages.size(), 5u);
  EXPECT_DOUBLE_EQ(value_of(host->chartMessages[0]), 0.57);
  EXPECT_DOUBLE_EQ(value_of(host->chartMessages[2]), 0.63);
  EXPECT_EQ(host->chartMessages[0].text, "s");
}

TEST_F(ChannelCalcTest, GuideLinesAreRemovedWhenOffForAChangeOfPeriodOrWhenTheCalculationGoes) {
  add_regular_beats();
  analyse_whole_channel();
  const std::vector<std::uint32_t> bandOff = {0, 0x2121212, 0, 0, 0, 0, 0, 0, 0};
  for (auto calc : {calculation_with(0, false), calculation_with(1, true)}) {
    host->chartMessages.clear();
    const ChannelId channel = attach(*calc);
    const auto index = static_cast<std::uint32_t>(channel.index);
    ASSERT_EQ(host->chartMessages.size(), 3u);
    EXPECT_EQ(host->chartMessages[0].fields, (std::vector<std::uint32_t>{0, 0x21122, index, 1, 0, 0, 0x898989}));
    EXPECT_EQ(host->chartMessages[1].fields, (std::vector<std::uint32_t>{0, 0x21122, index, 2, 0, 0, 0x898989}));
    EXPECT_EQ(host->chartMessages[2].fields, (std::vector<std::uint32_t>{0, 0x2121212, index, 0, 0, 0, 0, 0, 0}));
    host->computed.back().attached.reset();
    host->computed.back().deleted = true;
  }

  auto rate = calculation_with(2);
  const ChannelId channel = attach(*rate);
  host->chartMessages.clear();
  ASSERT_EQ(deliver(data_notification(kChannelCalculationChanged), channel.index, channel.kind), S_OK);
  EXPECT_EQ(host->chartMessages.size(), 3u) << "the channel lost its calculation: lines and band removed";
  host->chartMessages.clear();
  doc().ClassifyAllBeatsAsNormal();
  EXPECT_TRUE(host->chartMessages.empty()) << "a channel that lost its calculation is no longer followed";
}

}  // namespace
