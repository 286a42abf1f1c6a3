// SPDX-License-Identifier: MIT
#include "hrv/engine/fiducial_search.h"

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using HRV::FiducialEvent;
using HRV::SamplePosition;
using Cursor = EEH3::EventCursor<HRV::FiducialSearch, HRV::FiducialState, FiducialEvent>;

// A record held in vectors; `visible` samples are final. References become visible
// `reference_lag` samples behind the signal, as a peak detector's events would.
struct Record final : HRV::SignalView, HRV::ReferenceView {
  std::vector<float> samples;
  std::vector<std::int32_t> references;
  std::int32_t visible = 0;
  bool done = true;
  std::int32_t reference_lag = 0;
  std::size_t cursor = 0;

  std::int32_t available_end() const override { return visible; }
  bool complete() const override { return done; }
  std::int32_t read(std::int32_t from, std::int32_t count, float* out) const override {
    std::int32_t n = 0;
    for (; n < count && from + n < visible; ++n) out[n] = samples[from + n];
    return n;
  }
  std::int32_t horizon() const { return done ? 0x7FFFFFFF : std::max(visible - reference_lag, 0); }
  void seek(std::int32_t tick) override {
    cursor = std::lower_bound(references.begin(), references.end(), tick) - references.begin();
  }
  std::optional<std::int32_t> current() override {
    if (cursor < references.size() && references[cursor] < horizon()) return references[cursor];
    return std::nullopt;
  }
  void advance() override { ++cursor; }
  std::int32_t position() const override { return std::min(horizon(), visible); }
  bool at_end() const override { return done && cursor >= references.size(); }
};

struct Edits final : HRV::BeatEditsView {
  std::set<SamplePosition> added, removed;
  static std::optional<SamplePosition> first(const std::set<SamplePosition>& s, SamplePosition p) {
    auto it = s.lower_bound(p);
    return it == s.end() ? std::nullopt : std::optional<SamplePosition>(*it);
  }
  std::optional<SamplePosition> added_at_or_after(SamplePosition p) const override { return first(added, p); }
  std::optional<SamplePosition> removed_at_or_after(SamplePosition p) const override { return first(removed, p); }
};

struct Numbers final : HRV::BeatNumberView {
  std::map<std::int32_t, std::uint32_t> last_by_record;
  std::optional<std::uint32_t> last(std::int32_t r) const override {
    auto it = last_by_record.find(r);
    return it == last_by_record.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
  }
  void set(std::int32_t r, std::uint32_t n) override { last_by_record[r] = n; }
};

// Parameters from their text (width s, type, box, region limits, exclusion), bound to 1 kHz.
HRV::FiducialParams params(const std::string& text = "0.08 0 0.5 1.5 0 10 0 0 -1 -1 1") {
  HRV::FiducialParams p;
  std::istringstream in(text);
  EXPECT_TRUE(p.Read(in)) << text;
  p.Bind(0.001);
  return p;
}

// A pulse train: a narrow Gaussian bump at every beat time, on a slow baseline.
Record pulse_train(const std::vector<std::int32_t>& beats, std::int32_t length, double width = 6) {
  Record r;
  r.samples.assign(static_cast<std::size_t>(length), 0.0f);
  for (std::int32_t i = 0; i < length; ++i) r.samples[i] = 0.05f * static_cast<float>(std::sin(i * 0.003));
  for (std::int32_t b : beats)
    for (std::int32_t k = -30; k <= 30; ++k)
      if (b + k >= 0 && b + k < length) r.samples[b + k] += static_cast<float>(std::exp(-0.5 * (k / width) * (k / width)));
  r.visible = length;
  return r;
}

std::vector<FiducialEvent> read_all(Cursor& cursor, std::uint32_t batch = 7) {
  std::vector<FiducialEvent> out;
  std::vector<FiducialEvent> buf(batch);
  EEH3::Step status;
  do {
    std::uint32_t n = cursor.Read(buf.data(), batch, status);
    out.insert(out.end(), buf.begin(), buf.begin() + n);
  } while (status == EEH3::Step::Event);
  return out;
}

std::vector<std::int32_t> ticks_of(const std::vector<FiducialEvent>& events) {
  std::vector<std::int32_t> t;
  for (const auto& e : events) t.push_back(e.tick);
  return t;
}

// A search over `rec` with its own cache and cursor.
struct Search {
  Search(const HRV::FiducialParams& p, Record& rec, const Edits* edits = nullptr, Numbers* numbers = nullptr,
         EEH3::RecordCache<HRV::FiducialState>* sharedCache = nullptr)
      : params(p), search(params, rec, rec, edits, numbers), cursor(search, sharedCache ? *sharedCache : cache) {}
  // Every beat of `record`.
  std::vector<FiducialEvent> all(std::int32_t record = 0) {
    cursor.StartRecord(record);
    return read_all(cursor);
  }
  HRV::FiducialParams params;
  HRV::FiducialSearch search;
  EEH3::RecordCache<HRV::FiducialState> cache;
  Cursor cursor;
};

TEST(FiducialSearch, PlacesOneBeatPerQrsAtTheWindowsExtremum) {
  Record rec = pulse_train({500, 1500, 2500}, 3000);
  // Two references 10 samples apart on the second pulse, one slightly off the peak.
  rec.references = {497, 1495, 1505, 2503};
  auto beats = Search(params(), rec).all();  // W = 80 samples
  ASSERT_EQ(ticks_of(beats), (std::vector<std::int32_t>{500, 1500, 2500}));
  EXPECT_EQ(beats[0].peakIndex, 3);
  EXPECT_EQ(beats[1].peakIndex, 5);
  EXPECT_EQ(beats[1].peakValue, rec.samples[1500]);
  EXPECT_EQ(beats[2].beatNumber, 3);
  // rr from the tick difference and the sample interval; the first beat has none.
  EXPECT_TRUE(std::isnan(beats[0].rr));
  EXPECT_DOUBLE_EQ(beats[1].rr, 1.0);
  EXPECT_DOUBLE_EQ(beats[2].deltaRR, 0.0);

  // The window starts at sample 0 at the latest; a flat window gives its first sample.
  Record flat;
  flat.samples.assign(400, 1.0f);
  flat.visible = 400;
  flat.references = {5, 300};
  EXPECT_EQ(ticks_of(Search(params(), flat).all()), (std::vector<std::int32_t>{0, 260}));
  // Type 1 looks for the minimum; of two equal ones the first wins.
  Record minima = pulse_train({}, 400);
  std::fill(minima.samples.begin(), minima.samples.end(), 0.0f);
  minima.samples[190] = minima.samples[210] = -2;
  minima.references = {200};
  EXPECT_EQ(ticks_of(Search(params("0.08 1 0.5 1.5 0 10 0 0 -1 -1 1"), minima).all()), (std::vector<std::int32_t>{190}));
  // The window holds W + 1 samples from half a width before the reference: its last sample
  // counts, the one after it does not.
  Record edge;
  edge.samples.assign(400, 0.0f);
  edge.samples[240] = 1;
  edge.samples[241] = 2;
  edge.visible = 400;
  edge.references = {200};
  EXPECT_EQ(ticks_of(Search(params(), edge).all()), (std::vector<std::int32_t>{240}));
}

TEST(FiducialSearch, MergesAddedBeatsAndSkipsRemovedOnes) {
  Record rec = pulse_train({500, 1500, 2500, 3500}, 4000);
  rec.references = {500, 1500, 2500, 3500};
  Edits edits;
  edits.added.insert({1000, 0});
  edits.removed.insert({2500, 0});
  edits.removed.insert({2600, 0});  // not a detected beat: no effect
  auto beats = Search(params(), rec, &edits).all();
  ASSERT_EQ(ticks_of(beats), (std::vector<std::int32_t>{500, 1000, 1500, 3500}));
  EXPECT_EQ(beats[1].flags & HRV::UserAdded, HRV::UserAdded);
  EXPECT_EQ(beats[1].peakValue, 0.0);
  EXPECT_EQ(beats[2].flags & HRV::UserAdded, 0u);
  EXPECT_DOUBLE_EQ(beats[3].rr, 2.0);  // across the removed beat
  EXPECT_EQ(beats[3].beatNumber, 4);
}

TEST(FiducialSearch, NumbersContinueAcrossRecordsAndOnlyInsideTheRegion) {
  Record rec = pulse_train({500, 1500, 2500}, 3000);
  rec.references = {500, 1500, 2500};
  Numbers numbers;
  numbers.set(2, 120);  // record 2 ended at beat 120
  Search search(params("0.08 0 0.5 1.5 0 10 3 1000 -1 -1 1"), rec, nullptr, &numbers);  // from tick 1000 of record 3
  auto beats = search.all(3);
  ASSERT_EQ(beats.size(), 3u);
  EXPECT_EQ(beats[0].beatNumber, 0);  // before the region
  EXPECT_EQ(beats[1].beatNumber, 121);
  EXPECT_EQ(beats[2].beatNumber, 122);
  EXPECT_EQ(numbers.last(3), 122u);
  EXPECT_TRUE(search.all(2).empty()) << "a record before the region yields nothing";
}

// Beats of a long synthetic record with irregular intervals, some references doubled.
Record irregular_record(std::uint32_t seed, std::int32_t length, std::vector<std::int32_t>* truth = nullptr) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> interval(600, 1400), jitter(-4, 4), coin(0, 9);
  std::vector<std::int32_t> beats;
  for (std::int32_t t = 300; t < length - 100; t += interval(rng)) beats.push_back(t);
  Record rec = pulse_train(beats, length);
  for (auto b : beats) {
    rec.references.push_back(b + jitter(rng));
    if (coin(rng) == 0) rec.references.push_back(b - 12);  // an early second reference on the same QRS
  }
  std::sort(rec.references.begin(), rec.references.end());
  rec.references.erase(std::unique(rec.references.begin(), rec.references.end()), rec.references.end());
  if (truth) *truth = beats;
  return rec;
}

void expect_same_events(const std::vector<FiducialEvent>& a, const std::vector<FiducialEvent>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a[i].tick, b[i].tick);
    EXPECT_EQ(a[i].beatNumber, b[i].beatNumber);
    EXPECT_EQ(a[i].flags, b[i].flags);
    EXPECT_EQ(a[i].peakIndex, b[i].peakIndex);
    // Same samples, same arithmetic: identical bits, NaN included.
    EXPECT_EQ(std::memcmp(&a[i], &b[i], sizeof(FiducialEvent)), 0);
  }
}

TEST(FiducialSearch, OnlineInRandomPiecesEqualsOnePass) {
  std::vector<std::int32_t> truth;
  Record offline = irregular_record(7, 60000, &truth);
  Edits edits;
  edits.added.insert({truth[10] + 300, 0});
  edits.removed.insert({truth[20], 0});
  const std::vector<FiducialEvent> expected = Search(params(), offline, &edits).all();
  ASSERT_EQ(expected.size(), truth.size());  // one added, one removed
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    Record online = offline;
    online.done = false;
    online.visible = 0;
    // A short lag lets windows and complexity segments reach past the data: those beats
    // must wait for more samples.
    online.reference_lag = seed == 1 ? 350 : 5;
    std::mt19937 rng(seed);
    // Seed 3 grows the record one sample at a time, so every partial window is seen.
    std::uniform_int_distribution<int> piece(1, seed == 3 ? 1 : 3000);
    Search search(params(), online, &edits);
    search.cursor.StartRecord(0);
    std::vector<FiducialEvent> got;
    while (!online.done) {
      online.visible = std::min<std::int32_t>(online.visible + piece(rng), 60000);
      if (online.visible == 60000 && piece(rng) % 2) online.done = true;
      auto part = read_all(search.cursor, 3);
      got.insert(got.end(), part.begin(), part.end());
      if (online.visible == 60000) online.done = true;
    }
    auto rest = read_all(search.cursor);
    got.insert(got.end(), rest.begin(), rest.end());
    expect_same_events(got, expected);
  }
}

TEST(FiducialSearch, FindForwardAndBackwardLandOnTheSameBeats) {
  std::vector<std::int32_t> truth;
  Record rec = irregular_record(11, 450000, &truth);
  Search search(params(), rec);
  Cursor& cursor = search.cursor;
  const auto all = search.all();
  ASSERT_EQ(ticks_of(all), truth);
  EXPECT_EQ(cursor.Cache().size(0), 5u);  // blocks 0..4 of a 450,000-tick record

  std::mt19937 rng(5);
  std::uniform_int_distribution<std::int32_t> where(1, 449000);
  for (int i = 0; i < 40; ++i) {
    const std::int32_t from = where(rng);
    SCOPED_TRACE(from);
    const auto index = static_cast<std::size_t>(std::lower_bound(truth.begin(), truth.end(), from) - truth.begin());
    FiducialEvent forward, backward, next;
    ASSERT_TRUE(cursor.Find(false, from, 0, 450000));
    ASSERT_TRUE(cursor.Current(forward));
    // Events found by searching equal those of the full pass, numbers and rr included.
    EXPECT_EQ(forward.tick, truth[index]);
    EXPECT_EQ(std::memcmp(&forward, &all[index], sizeof(FiducialEvent)), 0);
    ASSERT_TRUE(cursor.Find(true, forward.tick, 0, 450000));
    ASSERT_TRUE(cursor.Current(backward));
    EXPECT_EQ(backward.tick, forward.tick);
    // Reading continues after the found beat.
    EEH3::Step status;
    if (index + 1 < all.size()) {
      ASSERT_EQ(cursor.Read(&next, 1, status), 1u);
      EXPECT_EQ(next.tick, all[index + 1].tick);
    }
  }
  // A second cursor with its own reference cursor searches from the blocks the first cached.
  Record copy = rec;
  Search finder(params(), copy, nullptr, nullptr, &search.cache);
  finder.cursor.StartRecord(0);
  FiducialEvent found;
  ASSERT_TRUE(finder.cursor.Find(false, 420000, 0, 450000));
  ASSERT_TRUE(finder.cursor.Current(found));
  EXPECT_EQ(found.tick, *std::lower_bound(truth.begin(), truth.end(), 420000));

  EXPECT_FALSE(cursor.Find(true, 0, 0, 450000));
  EXPECT_FALSE(cursor.Find(false, 100, 100, 100));
  EXPECT_EQ(cursor.Position(), 100);
  EXPECT_FALSE(cursor.Find(false, truth.back() + 1, 0, 450000));
  EXPECT_FALSE(cursor.Find(false, 5, 0, truth.front()));  // first beat lies at `high`
}

TEST(FiducialParams, ReadLimitsWithRoundingSaturationAndDefaultsAndWriteThemBack) {
  HRV::FiducialParams p = params("0.08 0 0.8 1.2 1 1.5 -1 2.5 2.14748e+09 -1 1");
  EXPECT_EQ(p.start, (SamplePosition{3, 0}));  // 2.5 rounds away from zero; -1 means the beginning
  EXPECT_EQ(p.end, (SamplePosition{0x7FFFFFFF, 2147480000}));
  EXPECT_TRUE(p.excludeEctopic);
  std::istringstream shortText("0.08 0 0.8 1.2 1 1.5 0 0 0"), bad("0.08 0 0.8");  // end limits missing; too short
  ASSERT_TRUE(p.Read(shortText));
  EXPECT_EQ(p.end, (SamplePosition{0x7FFFFFFF, 0x7FFFFFFF}));
  EXPECT_FALSE(p.excludeEctopic);
  EXPECT_FALSE(p.Read(bad));
  p.Bind(1.0 / 360);
  EXPECT_EQ(p.width, 29);  // 0.08 s × 360 Hz = 28.8 → 29
  std::ostringstream out;
  p.Write(out);
  HRV::FiducialParams back = params(out.str());
  EXPECT_EQ(back.end, p.end);
  EXPECT_EQ(back.widthSec, p.widthSec);
}

}  // namespace
