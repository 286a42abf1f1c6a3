// SPDX-License-Identifier: MIT
// The evaluation of one expression within one record, streamed in blocks.
//
// The expression becomes a graph of nodes, leaves first: readers of recorded samples and
// of other channels' stores, the signal functions' stages, arithmetic, the host's event
// stages and extension enumerators. Each round, every leaf hands on up to one block of
// samples that became available, and every node, in graph order, turns the final output
// of its inputs in that round into its own final output. Only stores keep samples: those
// of channels that consumers read at random (an enumerator's sampled inputs, a requested
// channel), as far back as their readers still read, and every event list. Everything
// else lives for one round, plus what a stage or an arithmetic node must hold back to
// line its inputs up, which its latency bounds.
//
// A pipeline lives while its record grows: advance() pushes only the data that arrived
// since the last call, and once the record is complete it finishes every stage. Because
// every node emits only final output, the stores hold the same values whether the record
// was evaluated in one pass or in many pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "korvel/calc/enumerator_runtime.h"
#include "korvel/calc/helper_thread.h"
#include "korvel/calc/stores.h"
#include "korvel/doc/document.h"
#include "korvel/expr/resolve.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/chart.h"

namespace korvel::calc {

// What a pipeline reads from outside the expression it evaluates. Implemented by the set
// of computed channels. Each call throws EvaluationError when the channel is unusable.
class PipelineSources {
 public:
  // The compiled expression of the computed channel `name`, evaluated inline where it is
  // used unless the channel keeps its samples.
  virtual const expr::Resolved& program_of(const std::string& name) = 0;
  virtual bool keeps_samples(const std::string& name) = 0;
  // The stores of channel `name` in `record`, which that channel fills; the pipeline lists
  // `name` among its dependencies.
  virtual std::shared_ptr<const SampledStore> samples_of(const std::string& name, std::int32_t record) = 0;
  virtual std::shared_ptr<const EventStore> events_of(const std::string& name, std::int32_t record) = 0;
  // The runtime of the `ordinal`-th enumerator call (in pre-order) of the expression being
  // built, created from `entry` and `numbers` on first use and kept across records.
  virtual EnumeratorRuntime& enumerator(std::size_t ordinal, const EnumeratorEntry& entry, std::span<const double> numbers) = 0;

 protected:
  ~PipelineSources() = default;
};

class Pipeline {
 public:
  // Samples per leaf and round: small enough that a round's blocks, through every node,
  // stay in the processor's second-level cache (65,536 was 4 % slower end to end).
  static constexpr std::size_t kBlock = 1 << 15;

  // Builds the evaluation of `program` in `record`, writing into `samples` (a sampled
  // expression) or `events` (an event expression); starts the enumerators in the record.
  // Throws EvaluationError.
  Pipeline(std::shared_ptr<const doc::Document> document, std::int32_t record, const expr::Resolved& program,
           PipelineSources& sources, ComPtr<IChartData> chart, std::shared_ptr<SampledStore> samples,
           std::shared_ptr<EventStore> events);
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Channels whose stores the pipeline reads; bring them up to date before advance().
  const std::vector<std::string>& dependencies() const noexcept { return dependencies_; }

  // Evaluates everything the data available now allow, up to tick `until` of the record's
  // leaves, and finishes once the record is complete, `until` reaches its end and every
  // input is used up.
  void advance(std::size_t until = SIZE_MAX);
  bool finished() const noexcept { return finished_; }

  class Node;

 private:
  class Builder;

  bool round();

  std::shared_ptr<const doc::Document> document_;
  std::int32_t record_;
  // Destroyed after the nodes: a stage run behind waits for its job on the helper.
  std::unique_ptr<HelperThread> helper_;
  std::vector<std::unique_ptr<Node>> nodes_;  // inputs before the nodes that read them
  std::vector<std::string> dependencies_;
  bool finished_ = false;
};

}  // namespace korvel::calc
