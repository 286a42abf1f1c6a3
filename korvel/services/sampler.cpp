// SPDX-License-Identifier: MIT
#include "korvel/services/sampler.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "korvel/services/document_frame.h"

namespace korvel::services {
namespace {

void check_source(const doc::Document& d, const io::Record& source, const SamplingOptions& options) {
  if (options.block_ticks <= 0) throw std::invalid_argument("a sampling block needs at least one tick");
  if (static_cast<std::int32_t>(source.channels.size()) != d.channel_count())
    throw std::invalid_argument("the source has " + std::to_string(source.channels.size()) + " channels, the document " +
                                std::to_string(d.channel_count()));
  for (const io::Channel& c : source.channels)
    if (c.length() != source.length())
      throw std::invalid_argument("source channel '" + c.name + "' has " + std::to_string(c.length()) + " samples, not " +
                                  std::to_string(source.length()));
}

}  // namespace

doc::Document sampling_document(const io::Recording& recording) {
  if (recording.records.empty()) throw std::invalid_argument("recording '" + recording.name + "' has no record to sample");
  std::vector<doc::ChannelInfo> channels;
  for (const io::Channel& c : recording.records.front().channels) channels.push_back({c.name, c.unit, 0});
  return doc::Document(recording.name, std::move(channels));
}

SamplingRun::SamplingRun(DocumentFrame& frame, const io::Record& source, const SamplingOptions& options)
    : frame_(frame), source_(source), options_(options) {
  doc::Document& d = frame.data().document();
  if (!frame.sampling_manager()) throw std::logic_error("the document cannot sample");
  if (d.sampling()) throw std::logic_error("the document samples already");
  check_source(d, source, options);

  outcome_.record = d.record_count();
  // The rate is set before sampling is asked for, so that sinks preparing for the new
  // record (a detector sizing its filters, for one) know it.
  d.announce_sampling(source.tick_interval_s);
  // The sinks registered when sampling is asked for hear the whole run.
  sinks_ = frame.sampling_manager()->sinks();
  for (std::size_t i = 0; i < sinks_.size(); ++i) {
    VARIANT_BOOL allowed = VARIANT_TRUE;
    const HRESULT hr = sinks_[i]->CanStartSampling(outcome_.record, &allowed);
    if (hr != S_OK || allowed == VARIANT_FALSE) {
      outcome_.refused_by = i;
      finished_ = true;
      return;
    }
  }
  outcome_.started = true;
  for (const auto& s : sinks_) count(s->SamplingStarting(outcome_.record));
  d.begin_sampling(source.tick_interval_s, source.start_time_s);
  for (const auto& s : sinks_) count(s->SamplingStateChanged(outcome_.record, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, VARIANT_TRUE));
}

SamplingRun::~SamplingRun() {
  if (outcome_.started) finish();
}

void SamplingRun::count(HRESULT hr) {
  if (FAILED(hr)) ++outcome_.sink_failures;
}

bool SamplingRun::feed() {
  if (done()) return false;
  doc::Document& d = frame_.data().document();
  const std::size_t to = std::min(source_.length(), fed_ + static_cast<std::size_t>(options_.block_ticks));
  std::vector<std::vector<float>> block(source_.channels.size());
  for (std::size_t c = 0; c < block.size(); ++c) {
    block[c].resize(to - fed_);
    source_.channels[c].read(fed_, to - fed_, block[c].data());
  }
  d.append(block);
  fed_ = to;
  ++outcome_.blocks;
  outcome_.ticks = static_cast<std::int64_t>(to);
  for (const auto& s : sinks_) count(s->OnlineData(d.record_length(outcome_.record)));
  if (options_.on_block) options_.on_block(outcome_.ticks);
  return true;
}

SamplingOutcome SamplingRun::finish() {
  if (finished_) return outcome_;
  finished_ = true;
  doc::Document& d = frame_.data().document();
  d.end_sampling();
  for (const auto& s : sinks_) count(s->SamplingEnding(outcome_.record, d.record_length(outcome_.record)));
  for (const auto& s : sinks_) count(s->SamplingStopped(outcome_.record));
  return outcome_;
}

SamplingOutcome sample_record(DocumentFrame& frame, const io::Record& source, const SamplingOptions& options) {
  SamplingRun run(frame, source, options);
  while (run.feed()) {
  }
  return run.finish();
}

std::vector<SamplingOutcome> sample_recording(DocumentFrame& frame, const io::Recording& recording, const SamplingOptions& options) {
  std::vector<SamplingOutcome> out;
  for (const io::Record& r : recording.records) {
    out.push_back(sample_record(frame, r, options));
    if (!out.back().started) break;
  }
  return out;
}

}  // namespace korvel::services
