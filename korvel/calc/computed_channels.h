// SPDX-License-Identifier: MIT
// A document's computed channels: named channels defined by expressions over recorded and
// other computed channels, evaluated on demand, record by record.
//
// What is kept: the events of every event channel; the samples of a sampled channel only
// while some enumerator reads it as a sampled input (it reads at random), and of those
// only what its readers may still read (an enumerator: a margin before the last event it
// consumed); for every record still growing, the streaming state that lets the next
// request push only new data. Every other sampled channel is evaluated inline, in the
// pipeline of whatever uses it, and its samples live only as long as one block does.
// A record is evaluated in steps, every channel of a chain up to the same tick, so that
// what a store holds stays within its readers' reach.
//
// Channels whose expression calls an enumerator are evaluated in increasing record order,
// with one enumerator per call kept across records, so that an enumerator can carry its
// state (beat numbers, say) from one record into the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/calc/function_table.h"
#include "korvel/calc/pipeline.h"
#include "korvel/calc/stores.h"
#include "korvel/doc/document.h"
#include "korvel/expr/ast.h"
#include "korvel/expr/resolve.h"

namespace korvel::calc {

class ComputedChannels {
 public:
  // Computed channels get indexes from the document's channel count upwards, never reused.
  // `functions` must outlive the set; `chart` (may be null) is what enumerators are given
  // as the document's chart data.
  ComputedChannels(std::shared_ptr<const doc::Document> document, const FunctionTable& functions, ComPtr<IChartData> chart);
  ~ComputedChannels();
  ComputedChannels(const ComputedChannels&) = delete;
  ComputedChannels& operator=(const ComputedChannels&) = delete;

  // ---- Channels. Unknown indexes throw std::out_of_range.
  std::optional<std::int32_t> find(std::string_view name) const;
  // Throws std::invalid_argument when the name is taken, not an identifier, or reads as a
  // recorded channel.
  std::int32_t create(const std::string& name);
  // Channels whose expressions name it hold no data until a channel of that name returns.
  void remove(std::int32_t index);
  bool contains(std::int32_t index) const noexcept { return channels_.count(index) != 0; }
  // Whether the channel offers events recorded with the document (imported beats) rather
  // than a calculation. Such a channel exists from the start, under the event channel's
  // name, yields its events and takes no expression.
  bool recorded_events(std::int32_t index) const { return at(index).recorded.has_value(); }
  // In increasing order, which is the order they were created in (document files keep it).
  std::vector<std::int32_t> indexes() const;
  const std::string& name(std::int32_t index) const;
  bool flag(std::int32_t index) const;
  void set_flag(std::int32_t index, bool set);

  // ---- Expressions.
  // Compiles `text` as an expression of channel `owner` (or of no channel) against the
  // channels and functions as they are now. Throws expr::ExpressionError.
  expr::Resolved compile(std::string_view text, std::optional<std::int32_t> owner = std::nullopt);
  // Sets the channel's expression (empty: none) and resets it and its dependents. Throws
  // expr::ExpressionError and keeps the previous expression when `text` does not compile
  // or would make the channel depend on itself.
  void set_expression(std::int32_t index, const std::string& text);
  const std::string& expression(std::int32_t index) const;
  // Sampled or Events; nothing while the expression is missing or no longer compiles (a
  // channel it names was deleted, say); then error() says why.
  std::optional<expr::ValueKind> kind(std::int32_t index);
  std::string error(std::int32_t index);
  // Drops what was computed for the channel and every channel that depends on it.
  void reset(std::int32_t index);
  // Whether the channel keeps its samples (an enumerator reads it).
  bool keeps_samples(std::int32_t index);

  // ---- Evaluation, as far as the document's data reach now. Throw EvaluationError (or
  // std::out_of_range for an unknown record) when the channel cannot be evaluated.
  // Whether every recorded channel the expression reads has data in the record.
  bool has_data(std::int32_t index, std::int32_t record);
  // The final samples of a sampled channel so far, evaluated from the record's start and
  // handed to `take` in order, a block at a time.
  void read_samples(std::int32_t index, std::int32_t record, const std::function<void(std::span<const float>)>& take);
  // All of them at once (a short record).
  std::vector<float> samples(std::int32_t index, std::int32_t record);
  // The events of an event channel so far; the store keeps growing with later requests
  // while the record grows.
  std::shared_ptr<const EventStore> events(std::int32_t index, std::int32_t record);

 private:
  struct RecordResult {
    std::shared_ptr<SampledStore> samples;
    std::shared_ptr<EventStore> events;
    std::unique_ptr<Pipeline> live;  // while the record is evaluated in pieces
    std::size_t brought = 0;         // the tick up to which the record was evaluated
  };
  struct Channel {
    std::int32_t index = 0;
    std::string name;
    bool flag = false;
    std::string expression;
    std::optional<std::int32_t> recorded;  // the document's event channel it offers
    // Compiled for epoch `compiled_epoch`; nothing when the expression is missing or fails.
    std::optional<expr::Resolved> program;
    std::string error;
    std::uint64_t compiled_epoch = 0;
    std::set<std::string> references;  // computed channels the expression names
    bool ordered = false;              // calls an enumerator
    bool busy = false;                 // being compiled or evaluated: a cycle if met again
    // Evaluation state.
    std::map<std::int32_t, RecordResult> records;
    std::vector<std::unique_ptr<EnumeratorRuntime>> enumerators;
    std::int32_t next_record = 0;  // ordered channels: the next record to start
  };
  class Scope;

  Channel& at(std::int32_t index);
  const Channel& at(std::int32_t index) const;
  Channel* by_name(const std::string& name);
  // Recompiles what an epoch change may have changed and updates which channels keep
  // their samples.
  void refresh();
  void compile_channel(Channel& c);
  bool depends_on(Channel& c, const std::string& name, std::set<std::string>& seen);
  // Throws expr::ExpressionError where `n` names `owner` or a channel that depends on it.
  void check_not_circular(const expr::Node& n, const std::string& owner);
  void reset_with_dependents(const std::string& name);
  static void clear_results(Channel& c);
  Channel& evaluable(std::int32_t index);
  RecordResult& result(Channel& c, std::int32_t record);
  // Brings the channel up to tick `until` of the record, or to the end of its data in
  // steps when no tick is given; earlier records first where it is evaluated in order.
  void update(Channel& c, std::int32_t record, std::optional<std::size_t> until = std::nullopt);
  void run_in_steps(Channel& c, std::int32_t record);
  void run(Channel& c, std::int32_t record, std::size_t until);
  void update_dependencies(const Channel& c, const Pipeline& pipeline, std::int32_t record, std::size_t until);
  bool data_in(const expr::Resolved& n, std::int32_t record, std::set<std::string>& seen);

  // What pipelines read of the set.
  class Sources final : public PipelineSources {
   public:
    explicit Sources(ComputedChannels& set) : set_(set) {}
    const expr::Resolved& program_of(const std::string& name) override;
    bool keeps_samples(const std::string& name) override;
    std::shared_ptr<const SampledStore> samples_of(const std::string& name, std::int32_t record) override;
    std::shared_ptr<const EventStore> events_of(const std::string& name, std::int32_t record) override;
    EnumeratorRuntime& enumerator(std::size_t ordinal, const EnumeratorEntry& entry, std::span<const double> numbers) override;

   private:
    ComputedChannels& set_;
  };

  std::shared_ptr<const doc::Document> document_;
  const FunctionTable& functions_;
  ComPtr<IChartData> chart_;
  std::map<std::int32_t, Channel> channels_;
  std::int32_t next_index_;
  std::uint64_t epoch_ = 1;      // bumped by every change of names or expressions
  std::uint64_t refreshed_ = 0;  // the epoch refresh() last saw
  std::set<std::string> kept_;   // channels that keep their samples
  Channel* building_ = nullptr;  // the channel whose pipeline is being built
  Sources sources_{*this};
};

}  // namespace korvel::calc
