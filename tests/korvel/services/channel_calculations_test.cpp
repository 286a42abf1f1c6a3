// SPDX-License-Identifier: MIT
// A channel whose calculation is the probe's "Probe Scaled": its expression follows the
// settings, the probe document hears of each change and sets guide lines through chart
// messages, and what the host refuses.
#include "korvel/services/channel_calculations.h"

#include "sdk/cpp/hresult_error.h"
#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

using Lines = std::vector<std::string>;

// A "Probe Scaled" settings stream.
std::vector<std::uint8_t> settings(std::int32_t factor, bool guides) {
  std::vector<std::uint8_t> out = {'P', 'R', 'B', '1', 8, 0, 0, 0};
  const std::int32_t g = guides ? 1 : 0;
  out.insert(out.end(), reinterpret_cast<const std::uint8_t*>(&factor), reinterpret_cast<const std::uint8_t*>(&factor) + 4);
  out.insert(out.end(), reinterpret_cast<const std::uint8_t*>(&g), reinterpret_cast<const std::uint8_t*>(&g) + 4);
  return out;
}

class ChannelCalculationsTest : public ProbeSession {
 protected:
  std::string expression(ChannelId channel) { return frame->data().channels().expression(channel.index); }
  const GuideLine& line(ChannelId channel, std::int32_t n) { return frame->chart_guides().lines().at({channel.index, n}); }
};

TEST_F(ChannelCalculationsTest, AChannelGetsTheExtensionsCalculationWithDefaultSettings) {
  journal();
  const ChannelId channel = add_channel_calculation(*frame, probe::kScaledClassId, "Scaled");
  EXPECT_EQ(expression(channel), "Ch1*2");
  const std::string index = std::to_string(channel.index);
  EXPECT_EQ(journal(), (Lines{"data 6 " + index + " 4 0 0 object", "guides " + index + " on"}));

  // The channel holds Ch1 scaled: exact in float for a factor of 2.
  auto& channels = frame->data().channels();
  const std::vector<float> scaled = channels.samples(channel.index, 0);
  const auto& ecg = frame->data().document().samples(0, 0);
  ASSERT_EQ(scaled.size(), ecg.size());
  for (std::size_t i = 0; i < ecg.size(); i += 997) EXPECT_EQ(scaled[i], 2.0f * ecg[i]) << "tick " << i;

  EXPECT_EQ(line(channel, 1).value, 2.0);
  EXPECT_EQ(line(channel, 2).value, -2.0);
  EXPECT_EQ(line(channel, 1).unit, "mV");
  EXPECT_TRUE(line(channel, 2).shown);
  EXPECT_EQ(line(channel, 2).colour, 0x898989u);
  EXPECT_TRUE(frame->chart_guides().bands().at(channel.index).shown);
  EXPECT_EQ(frame->chart_guides().messages().size(), 5u);  // value, line, value, line, band
}

TEST_F(ChannelCalculationsTest, NewSettingsChangeTheExpressionAndTheGuideLines) {
  const ChannelId channel = add_channel_calculation(*frame, probe::kScaledClassId, "Scaled");
  journal();
  apply_channel_calculation(*frame, channel, settings(3, false));
  EXPECT_EQ(expression(channel), "Ch1*3");
  EXPECT_FALSE(line(channel, 1).shown);
  EXPECT_FALSE(frame->chart_guides().bands().at(channel.index).shown);
  EXPECT_EQ(channel_calculation_settings(*frame, channel), settings(3, false));

  ComPtr<IUnknown> attached;
  ASSERT_EQ(frame->data().GetCalculation(channel, attached.put()), S_OK);
  EXPECT_TRUE(attached.query<IChannelCalculation>());

  remove_channel_calculation(*frame, channel);
  const std::string index = std::to_string(channel.index);
  EXPECT_EQ(journal(), (Lines{"data 6 " + index + " 4 0 0 object", "guides " + index + " off", "data 6 " + index + " 4 0 0",
                              "guides " + index + " off"}));
  EXPECT_EQ(frame->data().GetCalculation(channel, attached.put()), S_FALSE);
  EXPECT_THROW(channel_calculation_settings(*frame, channel), HResultError);
}

TEST_F(ChannelCalculationsTest, RefusedSettingsAndUnknownClassesChangeNothing) {
  const ChannelId channel = add_channel_calculation(*frame, probe::kScaledClassId, "Scaled");
  EXPECT_THROW(apply_channel_calculation(*frame, channel, settings(0, true)), HResultError);  // a factor below 1
  EXPECT_EQ(expression(channel), "Ch1*2");
  EXPECT_THROW(add_channel_calculation(*frame, probe::kDocumentClassId, "Other"), HResultError);
  EXPECT_FALSE(frame->data().channels().find("Other"));  // the channel made for it is gone
}

TEST_F(ChannelCalculationsTest, TheChartRefusesMessagesItCannotRead) {
  auto chart = frame->host_object().query<IChartMessageTarget>();
  ASSERT_TRUE(chart);
  const std::uint32_t fields[] = {0, 0x21122, 0, 1, 1, 1, 0x898989};
  const ChartMessage good{kChartGuideLine, 7, fields, nullptr};
  EXPECT_EQ(chart->SendChartMessage(&good), S_OK);
  const ChartMessage short_one{kChartGuideLine, 6, fields, nullptr};
  EXPECT_EQ(chart->SendChartMessage(&short_one), E_INVALIDARG);
  const ChartMessage unknown{0x800C0099u, 7, fields, nullptr};
  EXPECT_EQ(chart->SendChartMessage(&unknown), E_INVALIDARG);
  const std::uint32_t no_channel[] = {0, 0x21122, 77, 1, 1, 1, 0};
  const ChartMessage stray{kChartGuideLine, 7, no_channel, nullptr};
  EXPECT_EQ(chart->SendChartMessage(&stray), E_INVALIDARG);
  const std::uint32_t line_three[] = {0, 0x21122, 0, 3, 1, 1, 0};
  const ChartMessage third{kChartGuideLine, 7, line_three, nullptr};
  EXPECT_EQ(chart->SendChartMessage(&third), E_INVALIDARG);
  EXPECT_EQ(frame->chart_guides().messages().size(), 1u);
}

}  // namespace
}  // namespace korvel::services::test
