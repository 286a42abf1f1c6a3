// SPDX-License-Identifier: MIT
#include "korvel/doc/document.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace korvel::doc {
namespace {

io::Channel channel(std::string name, std::string unit, std::vector<float> samples) {
  return {std::move(name), std::move(unit), std::move(samples)};
}

// Two records on one time axis: the second lacks the "BP" channel.
io::Recording two_records() {
  io::Recording r;
  r.name = "rec";
  io::Record a;
  a.start_time_s = 0.0;
  a.tick_interval_s = 0.001;
  a.channels = {channel("ECG", "mV", {1, 2, 3, 4}), channel("BP", "mmHg", {5, 6, 7, 8})};
  io::Record b;
  b.start_time_s = 10.0;
  b.tick_interval_s = 0.002;
  b.channels = {channel("ECG", "mV", {9, 10})};
  r.records = {a, b};
  return r;
}

TEST(Document, TakesRecordsChannelsAndTimeBaseFromTheRecording) {
  const Document d(two_records());
  ASSERT_EQ(std::tuple(d.channel_count(), d.record_count()), std::tuple(2, 2));
  EXPECT_EQ(std::tie(d.name(), d.channel(1).name, d.channel(1).unit), std::tuple("rec", "BP", "mmHg"));
  EXPECT_NE(d.channel(0).colour, d.channel(1).colour);
  EXPECT_EQ(std::tuple(d.record_length(0), d.record_length(1), d.tick_interval(1), d.record_start(1)), std::tuple(4, 2, 0.002, 10.0));
  EXPECT_EQ(std::tuple(d.has_data(1, 0), d.has_data(1, 1), d.complete(1)), std::tuple(true, false, true));
  float v = 0;
  d.read(0, 1, 2, 1, &v);
  EXPECT_EQ(v, 7.0f);
  EXPECT_THROW(d.read(1, 1, 0, 1, &v), std::out_of_range) << "no data";
  EXPECT_THROW(d.read(0, 1, 3, 2, &v), std::out_of_range) << "beyond the record";
  EXPECT_THROW(d.record_length(2), std::out_of_range);
  EXPECT_THROW(d.channel(-1), std::out_of_range);
}

TEST(Document, RefusesRecordsItCannotHold) {
  io::Recording uneven = two_records();
  uneven.records[0].channels[1].samples.pop_back();
  EXPECT_THROW(Document{uneven}, std::invalid_argument);
  io::Recording no_rate = two_records();
  no_rate.records[1].tick_interval_s = 0.0;
  EXPECT_THROW(Document{no_rate}, std::invalid_argument);
}

TEST(Document, GrowsWhileSamplingAndTellsItsObservers) {
  Document d(two_records());
  std::vector<Growth> seen;
  d.on_growth([&](const Growth& g) { seen.push_back(g); });
  EXPECT_EQ(d.sampling_record(), 2);
  EXPECT_THROW(d.append(std::vector<std::vector<float>>{{1}, {2}}), std::logic_error);

  d.begin_sampling(0.004, 20.0);
  // A sampling record holds every channel from its start.
  EXPECT_EQ(std::tuple(d.sampling(), d.sampling_record(), d.complete(2), d.complete(1), d.has_data(2, 1)), std::tuple(true, 2, false, true, true));
  d.append(std::vector<std::vector<float>>{{1, 2, 3}, {4, 5, 6}});
  d.append(std::vector<std::vector<float>>{{7}, {8}});
  EXPECT_THROW(d.append(std::vector<std::vector<float>>{{1, 2}, {3}}), std::invalid_argument);
  EXPECT_THROW(d.append(std::vector<std::vector<float>>{{1}}), std::invalid_argument);
  float v = 0;
  d.read(2, 1, 3, 1, &v);
  EXPECT_EQ(std::tuple(d.record_length(2), v, d.record_start(2)), std::tuple(4, 8.0f, 20.0));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(std::tuple(seen[1].record, seen[1].first_tick, seen[1].count), std::tuple(2, 3, 1));

  d.end_sampling();
  EXPECT_TRUE(d.complete(2));
  EXPECT_THROW(d.end_sampling(), std::logic_error);
}

}  // namespace
}  // namespace korvel::doc
