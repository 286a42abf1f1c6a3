// SPDX-License-Identifier: MIT
#include "korvel/calc/computed_channels.h"

#include <functional>
#include <stdexcept>

#include "korvel/calc/evaluation_error.h"
#include "korvel/expr/expression_error.h"
#include "korvel/expr/names.h"
#include "korvel/expr/parser.h"

namespace korvel::calc {
namespace {

// Marks a channel as being worked on for the lifetime of the object.
class Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
  ~Busy() { flag_ = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
};

void visit(const expr::Resolved& n, const std::function<void(const expr::Resolved&)>& f) {
  f(n);
  for (const auto& o : n.operands) visit(o, f);
}

const EnumeratorEntry* enumerator_of(const expr::Resolved& n) {
  return n.op == expr::Resolved::Op::Call ? dynamic_cast<const EnumeratorEntry*>(n.function) : nullptr;
}

// A record is evaluated in steps of this many ticks, every channel of a chain brought up to
// the same tick before any goes further, so that a store an enumerator reads at random
// holds little more than one step beyond what its readers still read.
constexpr std::size_t kStepTicks = Pipeline::kBlock;

}  // namespace

class ComputedChannels::Scope final : public expr::Scope {
 public:
  explicit Scope(ComputedChannels& set) : set_(set) {}

  std::int32_t recorded_channel_count() const override { return set_.document_->channel_count(); }

  std::optional<expr::ComputedChannelInfo> find_computed(std::string_view name) const override {
    Channel* c = set_.by_name(std::string(name));
    if (!c) return std::nullopt;
    expr::ComputedChannelInfo info{c->index, std::nullopt};
    if (!c->busy) {
      set_.compile_channel(*c);
      if (c->program) info.kind = c->program->kind;
    }
    return info;
  }

  const expr::FunctionSignature* find_function(std::string_view name) const override { return set_.functions_.find(name); }

 private:
  ComputedChannels& set_;
};

ComputedChannels::ComputedChannels(std::shared_ptr<const doc::Document> document, const FunctionTable& functions, ComPtr<IChartData> chart)
    : document_(std::move(document)), functions_(functions), chart_(std::move(chart)), next_index_(document_->channel_count()) {
  const auto& recorded = document_->event_channels();
  for (std::size_t i = 0; i < recorded.size(); ++i) {
    Channel& c = channels_[next_index_];
    c.index = next_index_++;
    c.name = recorded[i];
    c.recorded = static_cast<std::int32_t>(i);
    c.program.emplace();
    c.program->kind = expr::ValueKind::Events;  // a leaf: the events are the document's
  }
}

ComputedChannels::~ComputedChannels() {
  // Pipelines refer to the enumerator runtimes; let them go first.
  for (auto& [index, c] : channels_) clear_results(c);
}

// ---- Channels

ComputedChannels::Channel& ComputedChannels::at(std::int32_t index) {
  auto it = channels_.find(index);
  if (it == channels_.end()) throw std::out_of_range("no computed channel " + std::to_string(index));
  return it->second;
}

const ComputedChannels::Channel& ComputedChannels::at(std::int32_t index) const {
  auto it = channels_.find(index);
  if (it == channels_.end()) throw std::out_of_range("no computed channel " + std::to_string(index));
  return it->second;
}

ComputedChannels::Channel* ComputedChannels::by_name(const std::string& name) {
  for (auto& [index, c] : channels_)
    if (c.name == name) return &c;
  return nullptr;
}

std::optional<std::int32_t> ComputedChannels::find(std::string_view name) const {
  for (const auto& [index, c] : channels_)
    if (c.name == name) return index;
  return std::nullopt;
}

std::int32_t ComputedChannels::create(const std::string& name) {
  if (!expr::is_identifier(name)) throw std::invalid_argument("'" + name + "' is not a channel name: use letters, digits and '_', not starting with a digit");
  if (expr::parse_recorded_reference(name)) throw std::invalid_argument("'" + name + "' names a recorded channel");
  if (find(name)) throw std::invalid_argument("a channel named '" + name + "' exists already");
  const std::int32_t index = next_index_++;
  Channel& c = channels_[index];
  c.index = index;
  c.name = name;
  ++epoch_;
  return index;
}

void ComputedChannels::remove(std::int32_t index) {
  const std::string name = at(index).name;
  reset_with_dependents(name);
  channels_.erase(index);
  ++epoch_;
}

std::vector<std::int32_t> ComputedChannels::indexes() const {
  std::vector<std::int32_t> out;
  for (const auto& [index, c] : channels_) out.push_back(index);
  return out;
}

const std::string& ComputedChannels::name(std::int32_t index) const { return at(index).name; }
bool ComputedChannels::flag(std::int32_t index) const { return at(index).flag; }
void ComputedChannels::set_flag(std::int32_t index, bool set) { at(index).flag = set; }

// ---- Expressions

void ComputedChannels::check_not_circular(const expr::Node& n, const std::string& owner) {
  if (n.kind == expr::Node::Kind::Name && !expr::parse_recorded_reference(n.name)) {
    std::set<std::string> seen;
    Channel* referenced = by_name(n.name);
    if (n.name == owner || (referenced && depends_on(*referenced, owner, seen)))
      throw expr::ExpressionError("channel '" + owner + "' would depend on itself through '" + n.name + "'", n.column);
  }
  for (const auto& child : n.children) check_not_circular(*child, owner);
}

expr::Resolved ComputedChannels::compile(std::string_view text, std::optional<std::int32_t> owner) {
  auto tree = expr::parse(text);
  if (owner) check_not_circular(*tree, at(*owner).name);
  Scope scope(*this);
  expr::Resolved program = expr::resolve(*tree, scope);
  if (program.kind == expr::ValueKind::Number) program.kind = expr::ValueKind::Sampled;  // a constant channel

  const double dt = document_->record_count() > 0 ? document_->tick_interval(0) : 0.0;
  std::function<void(const expr::Resolved&)> check = [&](const expr::Resolved& n) {
    // Let each signal function judge its numbers now, with the first record's interval,
    // rather than fail later when the channel is evaluated.
    if (const auto* f = n.op == expr::Resolved::Op::Call ? dynamic_cast<const SignalEntry*>(n.function) : nullptr; f && dt > 0.0) {
      std::vector<double> numbers;
      for (std::size_t i = 1; i < n.operands.size(); ++i) numbers.push_back(n.operands[i].value);
      try {
        f->function->make(numbers, dt);
      } catch (const std::invalid_argument& e) {
        throw expr::ExpressionError(e.what(), n.column);
      }
    }
  };
  visit(program, check);
  return program;
}

void ComputedChannels::set_expression(std::int32_t index, const std::string& text) {
  Channel& c = at(index);
  if (c.recorded) throw expr::ExpressionError("channel '" + c.name + "' holds recorded events and takes no expression", 1);
  if (!text.empty()) compile(text, index);
  reset_with_dependents(c.name);
  c.expression = text;
  ++epoch_;
}

const std::string& ComputedChannels::expression(std::int32_t index) const { return at(index).expression; }

std::optional<expr::ValueKind> ComputedChannels::kind(std::int32_t index) {
  refresh();
  const Channel& c = at(index);
  return c.program ? std::optional(c.program->kind) : std::nullopt;
}

std::string ComputedChannels::error(std::int32_t index) {
  refresh();
  return at(index).error;
}

void ComputedChannels::reset(std::int32_t index) { reset_with_dependents(at(index).name); }

bool ComputedChannels::keeps_samples(std::int32_t index) {
  refresh();
  return kept_.count(at(index).name) != 0;
}

void ComputedChannels::compile_channel(Channel& c) {
  if (c.recorded || c.compiled_epoch == epoch_ || c.busy) return;
  Busy busy(c.busy);
  c.compiled_epoch = epoch_;
  c.program.reset();
  c.references.clear();
  c.ordered = false;
  c.error.clear();
  if (c.expression.empty()) {
    c.error = "channel '" + c.name + "' has no calculation";
    return;
  }
  try {
    c.program = compile(c.expression);
  } catch (const expr::ExpressionError& e) {
    c.error = "channel '" + c.name + "': " + e.what();
    return;
  }
  visit(*c.program, [&](const expr::Resolved& n) {
    if (n.op == expr::Resolved::Op::Computed) c.references.insert(n.name);
    if (enumerator_of(n)) c.ordered = true;
  });
}

bool ComputedChannels::depends_on(Channel& c, const std::string& name, std::set<std::string>& seen) {
  compile_channel(c);
  for (const std::string& ref : c.references) {
    if (ref == name) return true;
    if (!seen.insert(ref).second) continue;
    if (Channel* x = by_name(ref); x && depends_on(*x, name, seen)) return true;
  }
  return false;
}

void ComputedChannels::reset_with_dependents(const std::string& name) {
  for (auto& [index, c] : channels_) {
    std::set<std::string> seen;
    if (c.name == name || depends_on(c, name, seen)) clear_results(c);
  }
}

void ComputedChannels::clear_results(Channel& c) {
  c.records.clear();  // the pipelines refer to the enumerators
  c.enumerators.clear();
  c.next_record = 0;
}

void ComputedChannels::refresh() {
  if (refreshed_ == epoch_) return;
  for (auto& [index, c] : channels_) compile_channel(c);
  std::set<std::string> kept;
  for (auto& [index, c] : channels_) {
    if (!c.program) continue;
    visit(*c.program, [&](const expr::Resolved& n) {
      const EnumeratorEntry* e = enumerator_of(n);
      if (!e) return;
      for (std::size_t i = 0; i < n.operands.size(); ++i)
        if (e->parameters[i].kind == expr::ValueKind::Sampled && n.operands[i].op == expr::Resolved::Op::Computed)
          kept.insert(n.operands[i].name);
    });
  }
  for (const std::string& name : kept_)
    if (!kept.count(name)) reset_with_dependents(name);
  for (const std::string& name : kept)
    if (!kept_.count(name)) reset_with_dependents(name);
  kept_ = std::move(kept);
  refreshed_ = epoch_;
}

// ---- Evaluation

ComputedChannels::Channel& ComputedChannels::evaluable(std::int32_t index) {
  refresh();
  Channel& c = at(index);
  if (!c.program) throw EvaluationError(c.error);
  return c;
}

ComputedChannels::RecordResult& ComputedChannels::result(Channel& c, std::int32_t record) {
  if (record < 0 || record >= document_->record_count()) throw std::out_of_range("no record " + std::to_string(record));
  RecordResult& r = c.records[record];
  if (c.program->kind == expr::ValueKind::Events && !r.events) {
    // The store takes the record size of whatever yields the events, through aliases.
    const expr::Resolved* root = &*c.program;
    std::set<std::string> seen;
    while (root->op == expr::Resolved::Op::Computed && seen.insert(root->name).second) {
      Channel* x = by_name(root->name);
      if (!x || !x->program) break;
      root = &*x->program;
    }
    const EnumeratorEntry* e = enumerator_of(*root);
    r.events = std::make_shared<EventStore>(e ? e->event_size : sizeof(CalcEventHeader));
  }
  if (c.program->kind == expr::ValueKind::Sampled && kept_.count(c.name) && !r.samples) r.samples = std::make_shared<SampledStore>();
  return r;
}

void ComputedChannels::update(Channel& c, std::int32_t record, std::optional<std::size_t> until) {
  if (c.busy) throw EvaluationError("channel '" + c.name + "' depends on itself");
  Busy busy(c.busy);
  try {
    if (c.ordered)
      while (c.next_record < record) run_in_steps(c, c.next_record);
    if (until)
      run(c, record, *until);
    else
      run_in_steps(c, record);
  } catch (...) {
    clear_results(c);  // never leave a half-built state behind
    throw;
  }
}

void ComputedChannels::run_in_steps(Channel& c, std::int32_t record) {
  const auto length = static_cast<std::size_t>(document_->record_length(record));
  for (std::size_t until = result(c, record).brought + kStepTicks; until < length; until += kStepTicks) run(c, record, until);
  run(c, record, SIZE_MAX);
}

void ComputedChannels::update_dependencies(const Channel& c, const Pipeline& pipeline, std::int32_t record, std::size_t until) {
  for (const std::string& name : pipeline.dependencies()) {
    Channel* d = by_name(name);
    if (!d || !d->program) throw EvaluationError("channel '" + c.name + "' reads channel '" + name + "', which cannot be evaluated");
    update(*d, record, until);
  }
}

void ComputedChannels::run(Channel& c, std::int32_t record, std::size_t until) {
  RecordResult& r = result(c, record);
  r.brought = std::max(r.brought, std::min(until, static_cast<std::size_t>(document_->record_length(record))));
  if ((!r.samples || r.samples->complete) && (!r.events || r.events->complete)) return;
  if (c.recorded) {
    for (std::int32_t tick : document_->events(record, *c.recorded)) r.events->append_tick(tick);
    r.events->final_until = document_->record_length(record);
    r.events->complete = true;
    return;
  }
  if (!r.live) {
    if (c.ordered && record != c.next_record)
      throw EvaluationError("channel '" + c.name + "' is evaluated in record order and cannot return to record " + std::to_string(record));
    std::set<std::string> seen;
    if (!data_in(*c.program, record, seen)) {  // nothing to evaluate: empty, and final
      if (r.samples) r.samples->complete = true;
      if (r.events) r.events->complete = true;
      if (c.ordered) c.next_record = record + 1;
      return;
    }
    building_ = &c;
    try {
      r.live = std::make_unique<Pipeline>(document_, record, *c.program, sources_, chart_, r.samples, r.events);
    } catch (...) {
      building_ = nullptr;
      throw;
    }
    building_ = nullptr;
    if (c.ordered) c.next_record = record + 1;
  }
  update_dependencies(c, *r.live, record, until);
  r.live->advance(until);
  if (r.live->finished()) r.live.reset();
}

bool ComputedChannels::data_in(const expr::Resolved& n, std::int32_t record, std::set<std::string>& seen) {
  switch (n.op) {
    case expr::Resolved::Op::Constant: return true;
    case expr::Resolved::Op::Recorded: return document_->has_data(record, n.channel);
    case expr::Resolved::Op::Computed: {
      Channel* c = by_name(n.name);
      if (!c || !c->program) return false;
      return !seen.insert(n.name).second || data_in(*c->program, record, seen);
    }
    default:
      for (const auto& o : n.operands)
        if (!data_in(o, record, seen)) return false;
      return true;
  }
}

bool ComputedChannels::has_data(std::int32_t index, std::int32_t record) {
  refresh();
  Channel& c = at(index);
  if (record < 0 || record >= document_->record_count()) throw std::out_of_range("no record " + std::to_string(record));
  std::set<std::string> seen;
  return c.program && data_in(*c.program, record, seen);
}

void ComputedChannels::read_samples(std::int32_t index, std::int32_t record, const std::function<void(std::span<const float>)>& take) {
  Channel& c = evaluable(index);
  if (c.program->kind != expr::ValueKind::Sampled) throw EvaluationError("channel '" + c.name + "' yields events, not samples");
  // Evaluated inline, even where the channel keeps a store: a store keeps only what its
  // readers still need. Each step's samples are handed on and let go.
  if (record < 0 || record >= document_->record_count()) throw std::out_of_range("no record " + std::to_string(record));
  std::set<std::string> seen;
  if (!data_in(*c.program, record, seen)) return;
  auto store = std::make_shared<SampledStore>();
  const SampledStore::Reader taken = store->add_reader();
  if (c.busy) throw EvaluationError("channel '" + c.name + "' depends on itself");
  Busy busy(c.busy);
  Pipeline pipeline(document_, record, *c.program, sources_, chart_, store, nullptr);
  const auto length = static_cast<std::size_t>(document_->record_length(record));
  std::vector<float> block;
  for (std::size_t step = kStepTicks;; step += kStepTicks) {
    const std::size_t until = step < length ? step : SIZE_MAX;
    update_dependencies(c, pipeline, record, until);
    pipeline.advance(until);
    block.resize(store->end() - *taken);
    store->read(*taken, block.size(), block.data());
    *taken = store->end();
    take(block);
    if (until == SIZE_MAX) return;
  }
}

std::vector<float> ComputedChannels::samples(std::int32_t index, std::int32_t record) {
  std::vector<float> all;
  read_samples(index, record, [&](std::span<const float> block) { all.insert(all.end(), block.begin(), block.end()); });
  return all;
}

std::shared_ptr<const EventStore> ComputedChannels::events(std::int32_t index, std::int32_t record) {
  Channel& c = evaluable(index);
  if (c.program->kind != expr::ValueKind::Events) throw EvaluationError("channel '" + c.name + "' yields samples, not events");
  update(c, record);
  return result(c, record).events;
}

// ---- PipelineSources

const expr::Resolved& ComputedChannels::Sources::program_of(const std::string& name) {
  Channel* c = set_.by_name(name);
  if (!c || !c->program) throw EvaluationError("channel '" + name + "' cannot be evaluated");
  return *c->program;
}

bool ComputedChannels::Sources::keeps_samples(const std::string& name) { return set_.kept_.count(name) != 0; }

std::shared_ptr<const SampledStore> ComputedChannels::Sources::samples_of(const std::string& name, std::int32_t record) {
  Channel* c = set_.by_name(name);
  if (!c || !c->program || !set_.kept_.count(name)) throw EvaluationError("channel '" + name + "' keeps no samples");
  const auto& store = set_.result(*c, record).samples;
  if (store->begin() == 0) return store;
  // A new reader starts at the beginning, which the readers before it have let go (the
  // beats are detected again after an edit, say): the record is evaluated again for it.
  if (!store->complete)
    throw EvaluationError("channel '" + name + "' is read from the start of record " + std::to_string(record) +
                          " while that record is still being evaluated and its start is no longer kept; reset the channel and evaluate it again");
  c->records.erase(record);
  return set_.result(*c, record).samples;
}

std::shared_ptr<const EventStore> ComputedChannels::Sources::events_of(const std::string& name, std::int32_t record) {
  Channel* c = set_.by_name(name);
  if (!c || !c->program || c->program->kind != expr::ValueKind::Events) throw EvaluationError("channel '" + name + "' yields no events");
  return set_.result(*c, record).events;
}

EnumeratorRuntime& ComputedChannels::Sources::enumerator(std::size_t ordinal, const EnumeratorEntry& entry, std::span<const double> numbers) {
  if (!set_.building_) throw EvaluationError("'" + entry.name + "' cannot be evaluated inline");
  auto& runtimes = set_.building_->enumerators;
  if (ordinal == runtimes.size()) runtimes.push_back(std::make_unique<EnumeratorRuntime>(entry, numbers));
  if (ordinal >= runtimes.size()) throw EvaluationError("enumerator calls of channel '" + set_.building_->name + "' out of order");
  return *runtimes[ordinal];
}

}  // namespace korvel::calc
