// SPDX-License-Identifier: MIT
#include "korvel/calc/event_walk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

void PrintTo(const TickPosition& p, std::ostream* out) { *out << "(tick " << p.tick << ", record " << p.record << ")"; }

namespace korvel::calc {
namespace {

constexpr std::int32_t kLength = 3000;

// Isolated spikes of 1 in record k at 200 + 100 k + 450 j.
std::vector<float> spikes(int k, std::int32_t length = kLength) {
  std::vector<float> x(static_cast<std::size_t>(length), 0.0f);
  for (std::int32_t t = 200 + 100 * k; t < length; t += 450) x[static_cast<std::size_t>(t)] = 1.0f;
  return x;
}

std::vector<TickPosition> expected(int first_record, int last_record) {
  std::vector<TickPosition> out;
  for (int k = first_record; k <= last_record; ++k)
    for (std::int32_t t = 200 + 100 * k; t < kLength; t += 450) out.push_back({t, k});
  return out;
}

struct Walker {
  explicit Walker(int records) {
    io::Recording r;
    for (int k = 0; k < records; ++k) r.records.push_back({0.0, 0.002, {{"X", "", spikes(k)}}});
    document = std::make_shared<doc::Document>(r);
    channels = std::make_unique<ComputedChannels>(document, functions, nullptr);
    peaks = channels->create("P");
    channels->set_expression(peaks, "cmpeakdet(Ch1,0.5,0.05,30)");
  }

  // Every event the walk yields now, read in batches of `batch`.
  std::vector<TickPosition> drain(EventWalk& walk, std::size_t batch) {
    std::vector<TickPosition> out;
    std::vector<std::byte> buffer(batch * walk.event_size());
    std::vector<std::int32_t> records(batch);
    for (;;) {
      const std::size_t n = walk.read(buffer.data(), batch, records.data());
      EXPECT_LE(n, batch);
      if (n == 0) return out;
      for (std::size_t i = 0; i < n; ++i) {
        CalcEventHeader h;
        std::memcpy(&h, buffer.data() + i * walk.event_size(), sizeof h);
        out.push_back({h.tick, records[i]});
      }
    }
  }

  FunctionTable functions{nullptr};
  std::shared_ptr<doc::Document> document;
  std::unique_ptr<ComputedChannels> channels;
  std::int32_t peaks = 0;
};

// Reading while the document samples is checked with the detection chain on a real
// recording (tests/integration).
TEST(EventWalk, ReadsEveryRecordInBatchesKeepingToTheRangeFromItsStartToBeforeItsEnd) {
  Walker w(3);
  EventWalk all(*w.channels, *w.document, w.peaks, {0, 0}, TickPosition{TickPosition::kUnset, TickPosition::kUnset});
  EXPECT_EQ(all.event_size(), sizeof(CalcEventHeader));
  EXPECT_EQ(w.drain(all, 4), expected(0, 2));
  EXPECT_EQ(w.drain(all, 4), std::vector<TickPosition>{});

  EventWalk walk(*w.channels, *w.document, w.peaks, {650, 0}, {1200, 1});
  const std::vector<TickPosition> want = {{650, 0}, {1100, 0}, {1550, 0}, {2000, 0}, {2450, 0}, {2900, 0}, {300, 1}, {750, 1}};
  EXPECT_EQ(w.drain(walk, 3), want);
  EXPECT_EQ(walk.position(), (TickPosition{1200, 1}));

  EventWalk single(*w.channels, *w.document, w.peaks, {1000, 2}, {1750, 2});
  EXPECT_EQ(w.drain(single, 10), (std::vector<TickPosition>{{1300, 2}}));
}

}  // namespace
}  // namespace korvel::calc
