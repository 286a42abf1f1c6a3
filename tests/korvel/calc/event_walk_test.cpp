// SPDX-License-Identifier: MIT
#include "korvel/calc/event_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    for (int k = 0; k < records; ++k) {
      io::Record record;
      record.tick_interval_s = 0.002;
      record.channels = {{"X", "", spikes(k)}};
      r.records.push_back(record);
    }
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

TEST(EventWalk, ReadsEveryRecordInBatchesWithEachEventsRecord) {
  Walker w(3);
  EventWalk walk(*w.channels, *w.document, w.peaks, {0, 0}, TickPosition{TickPosition::kUnset, TickPosition::kUnset});
  EXPECT_EQ(walk.event_size(), sizeof(CalcEventHeader));
  EXPECT_EQ(w.drain(walk, 4), expected(0, 2));
  EXPECT_EQ(w.drain(walk, 4), std::vector<TickPosition>{});
}

TEST(EventWalk, KeepsToTheRangeFromItsStartToBeforeItsEnd) {
  Walker w(3);
  EventWalk walk(*w.channels, *w.document, w.peaks, {650, 0}, {1200, 1});
  const std::vector<TickPosition> want = {{650, 0}, {1100, 0}, {1550, 0}, {2000, 0}, {2450, 0}, {2900, 0}, {300, 1}, {750, 1}};
  EXPECT_EQ(w.drain(walk, 3), want);
  EXPECT_EQ(walk.position(), (TickPosition{1200, 1}));

  EventWalk single(*w.channels, *w.document, w.peaks, {1000, 2}, {1750, 2});
  EXPECT_EQ(w.drain(single, 10), (std::vector<TickPosition>{{1300, 2}}));
}

TEST(EventWalk, FollowsTheDataWhileTheDocumentSamples) {
  Walker w(1);
  EventWalk walk(*w.channels, *w.document, w.peaks, {0, 0}, TickPosition::open_end());
  EXPECT_EQ(w.drain(walk, 5), expected(0, 0));
  EXPECT_EQ(walk.position(), (TickPosition{0, 1}));  // record 0 is complete and read

  w.document->begin_sampling(0.002, 10.0);
  const std::vector<float> next = spikes(1);
  std::vector<TickPosition> got;
  for (std::size_t fed = 0; fed < next.size(); fed += 500) {
    w.document->append(std::vector<std::vector<float>>{{next.begin() + static_cast<std::ptrdiff_t>(fed), next.begin() + static_cast<std::ptrdiff_t>(fed + 500)}});
    const auto more = w.drain(walk, 2);
    got.insert(got.end(), more.begin(), more.end());
    // Every event before the reported position has been read, and none lies beyond the data.
    const TickPosition at = walk.position();
    EXPECT_EQ(at.record, 1);
    EXPECT_LE(at.tick, static_cast<std::int32_t>(fed + 500));
    for (const TickPosition& e : expected(1, 1)) {
      if (e.tick < at.tick) {
        EXPECT_NE(std::find(got.begin(), got.end(), e), got.end()) << e.tick << " before " << at.tick;
      }
    }
  }
  w.document->end_sampling();
  const auto rest = w.drain(walk, 2);
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_EQ(got, expected(1, 1));
}

}  // namespace
}  // namespace korvel::calc
