// SPDX-License-Identifier: MIT
// The Tabulet with the probe's two functions as its columns: values against the events the
// host computed, empty cells where the stretch or the data give none, and how the host
// shows numbers.
#include "korvel/services/tabulet.h"

#include <stdexcept>

#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

TEST(TabuletFormat, ShowsNumbersInTheFunctionsFormats) {
  EXPECT_EQ(format_cell(std::int32_t{42}, "General"), "42");
  EXPECT_EQ(format_cell(0.8125, "General"), "0.8125");
  EXPECT_EQ(format_cell(800.0, "0.0###"), "800.0");
  EXPECT_EQ(format_cell(812.34567, "0.0###"), "812.3457");
  EXPECT_EQ(format_cell(12.5, "0.0###"), "12.5");
  EXPECT_EQ(format_cell(3725.5, "HH:mm:ss.00"), "01:02:05.50");
  EXPECT_EQ(format_cell(86400.0 + 59.999, "HH:mm:ss.00"), "00:01:00.00");  // whole days dropped, hundredths rounded
  EXPECT_EQ(format_cell(CellValue{}, "General"), "");
  EXPECT_EQ(si_prefix(-3) + "s", "ms");
  EXPECT_EQ(si_prefix(-6), "µ");
  EXPECT_EQ(si_prefix(0), "");
  EXPECT_THROW(si_prefix(-2), std::invalid_argument);
}

class TabuletTest : public ProbeSession {
 protected:
  void SetUp() override {
    ProbeSession::SetUp();
    auto& channels = frame->data().channels();
    crossings = channels.create("Crossings");
    channels.set_expression(crossings, "probethreshold(lowpass(Ch1,40),0.5)");
  }
  // The crossings the host computed in [from, to) of record 0: the oracle.
  std::vector<std::int32_t> oracle(std::int32_t from, std::int32_t to) {
    auto events = frame->data().channels().events(crossings, 0);
    std::vector<std::int32_t> out;
    for (std::size_t i = 0; i < events->count(); ++i)
      if (events->tick(i) >= from && events->tick(i) < to) out.push_back(events->tick(i));
    return out;
  }
  std::int32_t crossings = 0;
};

TEST_F(TabuletTest, ListsTheRegisteredFunctionsInListOrderAndRefusesUnknownKeys) {
  EXPECT_EQ(Tabulet::available(*application), (std::vector<std::string>{"ProbeInterval", "ProbeCrossings"}));
  Tabulet table(*frame);
  EXPECT_THROW(table.add_column("NoSuchFunction"), std::invalid_argument);
  table.add_column("ProbeInterval");
  EXPECT_EQ(table.columns()[0].unit, "ms");
  EXPECT_EQ(table.columns()[0].format, "0.0###");
  EXPECT_EQ(table.columns()[0].title, "Mean Interval");
}

TEST_F(TabuletTest, EachCellIsTheFunctionOnItsRowsStretch) {
  Tabulet table(*frame);
  table.add_column("ProbeCrossings");
  table.add_column("ProbeInterval");
  table.add_row({ChannelId{0, ChannelId::kDefaultKind}, {0, 0}, {5000, 0}});
  table.add_row({ChannelId{0, ChannelId::kDefaultKind}, {2500, 0}, {10000, 0}});
  table.add_row({ChannelId{0, ChannelId::kDefaultKind}, {100, 0}, {150, 0}});  // 0.1 s: no crossing
  const auto cells = table.evaluate();

  for (std::size_t row = 0; row < 2; ++row) {
    SCOPED_TRACE(row);
    const auto expected = oracle(table.rows()[row].start.tick, table.rows()[row].end.tick);
    ASSERT_GE(expected.size(), 2u);
    ASSERT_EQ(cells[row][0].status, S_OK);
    EXPECT_EQ(std::get<std::int32_t>(cells[row][0].value), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(cells[row][0].text, std::to_string(expected.size()));
    // Mean spacing in ms at 500 Hz (2 ms per tick); the tolerance only covers rounding of
    // the division.
    const double mean_ms = 2.0 * (expected.back() - expected.front()) / static_cast<double>(expected.size() - 1);
    ASSERT_EQ(cells[row][1].status, S_OK);
    EXPECT_NEAR(std::get<double>(cells[row][1].value), mean_ms, 1e-9);
  }
  EXPECT_EQ(cells[2][0].status, E_FAIL);
  EXPECT_EQ(cells[2][0].text, "");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(cells[2][1].value));

  const TabuletCell again = table.calculate(0, 0, kTabuletRangeChanged);
  EXPECT_EQ(again.status, S_OK);
  EXPECT_EQ(again.text, cells[0][0].text);
}

TEST_F(TabuletTest, CellsOverTheDataOfAnotherDocumentStayEmpty) {
  DocumentFrame& other = session->open(synthetic_document());
  auto& channels = other.data().channels();
  channels.set_expression(channels.create("Crossings"), "probethreshold(lowpass(Ch1,40),0.5)");
  Tabulet table(*frame);
  table.add_column("ProbeCrossings");
  table.add_row({ChannelId{0, ChannelId::kDefaultKind}, {0, 0}, {5000, 0}});
  ASSERT_EQ(table.cell(0, 0).status, S_OK);
  table.read_from(other);
  const TabuletCell foreign = table.cell(0, 0);
  EXPECT_EQ(foreign.status, E_FAIL);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(foreign.value));
}

}  // namespace
}  // namespace korvel::services::test
