// SPDX-License-Identifier: MIT
#include "korvel/calc/pipeline.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <system_error>

#include "korvel/calc/behind_stages.h"
#include "korvel/calc/evaluation_error.h"
#include "korvel/calc/function_table.h"
#include "korvel/calc/input_views.h"

namespace korvel::calc {

class Pipeline::Node {
 public:
  virtual ~Node() = default;
  // One round: consume the inputs' output of this round.
  virtual void step() = 0;
  // The round after the last: consume the inputs' last output and emit everything left.
  virtual void finish() = 0;
  // Leaves: whether the last step found new input, and whether all of it is used up.
  virtual bool is_leaf() const { return false; }
  virtual bool exhausted() const { return true; }
  // Leaves: hand on no sample at or after `until` (a tick of the record).
  virtual void limit(std::size_t /*until*/) {}
};

namespace {

using Node = Pipeline::Node;

// Sampled nodes hand on `fresh`, the output that became final in the current round; a
// store, where one is attached, keeps it for as long as its readers need it.
class SampledNode : public Node {
 public:
  std::vector<float> fresh;
  std::shared_ptr<SampledStore> store;
};

// Hands on a growing array of samples in blocks.
class Leaf : public SampledNode {
 public:
  void step() override {
    fresh.clear();
    const std::size_t end = std::min(available(), until_);
    const std::size_t n = end > consumed_ ? std::min(end - consumed_, Pipeline::kBlock) : 0;
    append(consumed_, n, fresh);
    consumed_ += n;
  }
  void finish() override { fresh.clear(); }
  bool is_leaf() const override { return true; }
  bool exhausted() const override { return complete() && consumed_ == available(); }
  void limit(std::size_t until) override { until_ = until; }

 protected:
  virtual std::size_t available() const = 0;
  virtual bool complete() const = 0;
  // Appends samples [from, from + n) to `out`.
  virtual void append(std::size_t from, std::size_t n, std::vector<float>& out) const = 0;

  std::size_t consumed_ = 0;

 private:
  std::size_t until_ = SIZE_MAX;
};

class RecordedLeaf final : public Leaf {
 public:
  RecordedLeaf(const doc::Document& document, std::int32_t record, std::int32_t channel)
      : document_(document), record_(record), channel_(channel) {}

 private:
  std::size_t available() const override {
    return document_.has_data(record_, channel_) ? static_cast<std::size_t>(document_.record_length(record_)) : 0;
  }
  bool complete() const override { return document_.complete(record_); }
  void append(std::size_t from, std::size_t n, std::vector<float>& out) const override {
    const std::size_t size = out.size();
    out.resize(size + n);
    document_.read(record_, channel_, from, n, out.data() + size);
  }

  const doc::Document& document_;
  std::int32_t record_, channel_;
};

// Reads another channel's store in order, and lets go of what it has read.
class StoreLeaf final : public Leaf {
 public:
  StoreLeaf(std::string name, std::shared_ptr<const SampledStore> source)
      : name_(std::move(name)), source_(std::move(source)), reader_(source_->add_reader()) {}

  void step() override {
    Leaf::step();
    *reader_ = consumed_;
  }

 private:
  std::size_t available() const override { return source_->end(); }
  bool complete() const override { return source_->complete; }
  void append(std::size_t from, std::size_t n, std::vector<float>& out) const override {
    const std::size_t size = out.size();
    out.resize(size + n);
    if (!source_->read(from, n, out.data() + size)) throw EvaluationError("channel '" + name_ + "': " + source_->refused_read());
  }

  std::string name_;
  std::shared_ptr<const SampledStore> source_;
  SampledStore::Reader reader_;
};

// A number as a channel: its value at every tick of the record.
class ConstantLeaf final : public Leaf {
 public:
  ConstantLeaf(const doc::Document& document, std::int32_t record, double value)
      : document_(document), record_(record), value_(static_cast<float>(value)) {}

 private:
  std::size_t available() const override { return static_cast<std::size_t>(document_.record_length(record_)); }
  bool complete() const override { return document_.complete(record_); }
  void append(std::size_t, std::size_t n, std::vector<float>& out) const override { out.insert(out.end(), n, value_); }

  const doc::Document& document_;
  std::int32_t record_;
  float value_;
};

class StageNode final : public SampledNode {
 public:
  StageNode(std::unique_ptr<signal::SampleStage> stage, const SampledNode& input) : stage_(std::move(stage)), input_(input) {}

  void step() override {
    fresh.clear();
    stage_->push(input_.fresh, fresh);
  }
  void finish() override {
    step();
    stage_->finish(fresh);
  }

 private:
  std::unique_ptr<signal::SampleStage> stage_;
  const SampledNode& input_;
};

// Element-wise +, * and unary minus of sampled inputs and numbers. Inputs that run ahead
// of the others are held until the others catch up.
class ArithmeticNode final : public SampledNode {
 public:
  struct Operand {
    const SampledNode* node = nullptr;  // null: the constant
    double constant = 0.0;
    std::vector<float> pending;
    std::size_t head = 0;
  };

  ArithmeticNode(expr::Resolved::Op op, std::vector<Operand> operands) : op_(op), operands_(std::move(operands)) {}

  void step() override {
    fresh.clear();
    // Each operand's samples of this round follow those it holds back; the output covers
    // what every operand has.
    std::size_t n = std::numeric_limits<std::size_t>::max();
    for (const Operand& o : operands_)
      if (o.node) n = std::min(n, o.pending.size() - o.head + o.node->fresh.size());
    fresh.resize(n);
    std::array<const float*, 2> in{};
    for (std::size_t k = 0; k < operands_.size(); ++k) {
      Operand& o = operands_[k];
      if (!o.node) continue;
      if (o.head == o.pending.size() && o.node->fresh.size() >= n) {
        in[k] = o.node->fresh.data();  // nothing held back: read this round's samples in place
      } else {
        o.pending.insert(o.pending.end(), o.node->fresh.begin(), o.node->fresh.end());
        in[k] = o.pending.data() + o.head;
      }
    }
    apply(in, n);
    for (std::size_t k = 0; k < operands_.size(); ++k) {
      Operand& o = operands_[k];
      if (!o.node) continue;
      if (in[k] == o.node->fresh.data()) {  // keep what the others could not match yet
        o.pending.assign(o.node->fresh.begin() + static_cast<std::ptrdiff_t>(n), o.node->fresh.end());
        o.head = 0;
        continue;
      }
      o.head += n;
      if (o.head > o.pending.size() / 2) {  // keep the held-back samples small and contiguous
        o.pending.erase(o.pending.begin(), o.pending.begin() + static_cast<std::ptrdiff_t>(o.head));
        o.head = 0;
      }
    }
  }
  void finish() override {
    step();
    for (const Operand& o : operands_)
      if (o.node && o.head != o.pending.size()) throw EvaluationError("the inputs of an arithmetic expression differ in length");
  }

 private:
  // The n output samples from the operands' samples `in` (null for the constant), each
  // operation in double and rounded once to float.
  void apply(const std::array<const float*, 2>& in, std::size_t n) {
    float* out = fresh.data();
    if (op_ == expr::Resolved::Op::Negate) {
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(-static_cast<double>(in[0][i]));
      return;
    }
    const bool add = op_ == expr::Resolved::Op::Add;
    if (in[0] && in[1]) {
      for (std::size_t i = 0; i < n; ++i) {
        const double a = in[0][i], b = in[1][i];
        out[i] = static_cast<float>(add ? a + b : a * b);
      }
      return;
    }
    // One operand is the constant (an expression of numbers alone is folded before it
    // gets here); + and * give the same double whichever side it is on.
    const float* x = in[0] ? in[0] : in[1];
    const double c = operands_[in[0] ? 1 : 0].constant;
    for (std::size_t i = 0; i < n; ++i) {
      const double v = x[i];
      out[i] = static_cast<float>(add ? v + c : v * c);
    }
  }

  expr::Resolved::Op op_;
  std::vector<Operand> operands_;
};

// A host function that turns samples into events.
class EventStageNode final : public Node {
 public:
  EventStageNode(std::unique_ptr<signal::EventStage> stage, const SampledNode& input, std::shared_ptr<EventStore> out)
      : stage_(std::move(stage)), input_(input), out_(std::move(out)) {}

  void step() override {
    found_.clear();
    stage_->push(input_.fresh, found_);
    pushed_ += static_cast<std::int64_t>(input_.fresh.size());
    store(std::max<std::int64_t>(0, pushed_ - static_cast<std::int64_t>(stage_->latency())));
  }
  void finish() override {
    step();
    found_.clear();
    stage_->finish(found_);
    store(pushed_);
    out_->complete = true;
  }

 private:
  void store(std::int64_t final_until) {
    for (std::int64_t tick : found_) out_->append_tick(static_cast<std::int32_t>(tick));
    out_->final_until = std::max(out_->final_until, static_cast<std::int32_t>(final_until));
  }

  std::unique_ptr<signal::EventStage> stage_;
  const SampledNode& input_;
  std::shared_ptr<EventStore> out_;
  std::vector<std::int64_t> found_;
  std::int64_t pushed_ = 0;
};

// An expression that is just another event channel's name.
class EventCopyNode final : public Node {
 public:
  EventCopyNode(std::shared_ptr<const EventStore> source, std::shared_ptr<EventStore> out)
      : source_(std::move(source)), out_(std::move(out)) {}

  void step() override {
    const std::size_t n = source_->count() - out_->count();
    if (n > 0) out_->append(source_->record(out_->count()), n);
    out_->final_until = source_->final_until;
  }
  void finish() override {
    step();
    out_->complete = source_->complete;
  }

 private:
  std::shared_ptr<const EventStore> source_;
  std::shared_ptr<EventStore> out_;
};

class EnumeratorNode final : public Node {
 public:
  // `inputs`: the stores of its sampled inputs, with the names of their channels.
  EnumeratorNode(EnumeratorRuntime& runtime, std::shared_ptr<EventStore> out, std::int32_t record_length,
                 std::vector<std::pair<std::string, std::shared_ptr<const SampledStore>>> inputs)
      : runtime_(runtime), out_(std::move(out)), record_length_(record_length), inputs_(std::move(inputs)) {}

  void step() override { read(); }
  // Every input is complete now, so what the enumerator does not yield now it never will.
  void finish() override {
    read();
    out_->final_until = std::max(out_->final_until, record_length_);
    out_->complete = true;
  }

 private:
  // The enumerator sees a read of released samples only as a failed read, which it takes
  // for the end of the data: what it yielded is wrong, and the evaluation stops here.
  void read() {
    runtime_.read(*out_);
    for (const auto& [name, store] : inputs_)
      if (!store->refused_read().empty())
        throw EvaluationError("'" + runtime_.function() + "' read channel '" + name + "' further back than is kept: " + store->refused_read());
  }

  EnumeratorRuntime& runtime_;
  std::shared_ptr<EventStore> out_;
  std::int32_t record_length_;
  std::vector<std::pair<std::string, std::shared_ptr<const SampledStore>>> inputs_;
};

std::vector<double> numbers_of(const expr::Resolved& call, std::size_t first) {
  std::vector<double> numbers;
  for (std::size_t i = first; i < call.operands.size(); ++i)
    if (call.operands[i].kind == expr::ValueKind::Number) numbers.push_back(call.operands[i].value);
  return numbers;
}

}  // namespace

// Turns a resolved expression into nodes. Within one pipeline each channel is evaluated
// once however often the expression names it.
class Pipeline::Builder {
 public:
  Builder(Pipeline& pipeline, PipelineSources& sources, ComPtr<IChartData> chart)
      : p_(pipeline), sources_(sources), chart_(std::move(chart)) {}

  SampledNode& sampled(const expr::Resolved& n) {
    switch (n.op) {
      case expr::Resolved::Op::Constant: return add(std::make_unique<ConstantLeaf>(*p_.document_, p_.record_, n.value));
      case expr::Resolved::Op::Recorded: {
        auto& slot = recorded_[n.channel];
        if (!slot) slot = &add(std::make_unique<RecordedLeaf>(*p_.document_, p_.record_, n.channel));
        return *slot;
      }
      case expr::Resolved::Op::Computed: return computed(n.name);
      case expr::Resolved::Op::Add:
      case expr::Resolved::Op::Multiply:
      case expr::Resolved::Op::Negate: {
        std::vector<ArithmeticNode::Operand> operands;
        for (const auto& o : n.operands) {
          ArithmeticNode::Operand operand;
          if (o.kind == expr::ValueKind::Number)
            operand.constant = o.value;
          else
            operand.node = &sampled(o);
          operands.push_back(std::move(operand));
        }
        return add(std::make_unique<ArithmeticNode>(n.op, std::move(operands)));
      }
      case expr::Resolved::Op::Call: {
        const auto* f = dynamic_cast<const SignalEntry*>(n.function);
        if (!f || f->function->result != signal::ResultKind::Sampled) throw EvaluationError("'" + n.function->name + "' does not yield samples");
        SampledNode& input = sampled(n.operands[0]);
        return add(std::make_unique<StageNode>(std::move(make_stage(*f, n).sampled), input));
      }
    }
    throw EvaluationError("unknown expression node");
  }

  // The events of `n`, written into `out` when given (else into a store of their own).
  std::shared_ptr<const EventStore> events(const expr::Resolved& n, std::shared_ptr<EventStore> out) {
    if (n.op == expr::Resolved::Op::Computed) {
      auto source = sources_.events_of(n.name, p_.record_);
      depend(n.name);
      if (!out) return source;
      add(std::make_unique<EventCopyNode>(source, out));
      return out;
    }
    if (n.op != expr::Resolved::Op::Call) throw EvaluationError("the expression does not yield events");
    if (const auto* f = dynamic_cast<const SignalEntry*>(n.function)) {
      SampledNode& input = sampled(n.operands[0]);
      if (!out) out = std::make_shared<EventStore>();
      add(std::make_unique<EventStageNode>(std::move(make_stage(*f, n).events), input, out));
      return out;
    }
    const auto& entry = dynamic_cast<const EnumeratorEntry&>(*n.function);
    const std::size_t ordinal = enumerators_++;
    std::vector<InputBinding> bindings(n.operands.size());
    std::vector<std::pair<std::string, std::shared_ptr<const SampledStore>>> stores;
    for (std::size_t i = 0; i < n.operands.size(); ++i) {
      const expr::Resolved& arg = n.operands[i];
      if (arg.kind == expr::ValueKind::Sampled) bindings[i] = random_access(arg);
      if (arg.kind == expr::ValueKind::Events) bindings[i].events = events(arg, nullptr);
      if (bindings[i].samples) stores.emplace_back(arg.op == expr::Resolved::Op::Computed ? arg.name : entry.parameters[i].name, bindings[i].samples);
    }
    const std::vector<double> numbers = numbers_of(n, 0);
    EnumeratorRuntime& runtime = sources_.enumerator(ordinal, entry, numbers);
    const doc::Document& d = *p_.document_;
    runtime.start_record(p_.record_, d.tick_interval(p_.record_), !d.complete(p_.record_),
                         make_calc_inputs(p_.document_, p_.record_, std::move(bindings), chart_));
    if (!out) out = std::make_shared<EventStore>(entry.event_size);
    add(std::make_unique<EnumeratorNode>(runtime, out, d.record_length(p_.record_), std::move(stores)));
    return out;
  }

 private:
  template <class T>
  T& add(std::unique_ptr<T> node) {
    T& ref = *node;
    p_.nodes_.push_back(std::move(node));
    return ref;
  }

  void depend(const std::string& name) {
    if (std::find(p_.dependencies_.begin(), p_.dependencies_.end(), name) == p_.dependencies_.end()) p_.dependencies_.push_back(name);
  }

  SampledNode& computed(const std::string& name) {
    if (auto it = computed_.find(name); it != computed_.end()) return *it->second;
    SampledNode* node;
    if (sources_.keeps_samples(name)) {
      auto store = sources_.samples_of(name, p_.record_);
      depend(name);
      node = &add(std::make_unique<StoreLeaf>(name, std::move(store)));
    } else {
      if (!inlining_.insert(name).second) throw EvaluationError("channel '" + name + "' depends on itself");
      node = &sampled(sources_.program_of(name));
      inlining_.erase(name);
    }
    computed_[name] = node;
    return *node;
  }

  // A sampled enumerator input, which the enumerator reads at random: recorded samples and
  // stored channels directly, anything else through a store of this pipeline.
  InputBinding random_access(const expr::Resolved& n) {
    InputBinding b;
    if (n.op == expr::Resolved::Op::Recorded) {
      b.recorded_channel = n.channel;
    } else if (n.op == expr::Resolved::Op::Computed && sources_.keeps_samples(n.name)) {
      b.samples = sources_.samples_of(n.name, p_.record_);
      depend(n.name);
    } else {
      SampledNode& node = sampled(n);
      if (!node.store) node.store = std::make_shared<SampledStore>();
      b.samples = node.store;
    }
    return b;
  }

  signal::Stage make_stage(const SignalEntry& f, const expr::Resolved& call) {
    const std::vector<double> numbers = numbers_of(call, 1);
    signal::Stage stage;
    try {
      stage = f.function->make(numbers, p_.document_->tick_interval(p_.record_));
    } catch (const std::invalid_argument& e) {
      throw EvaluationError(std::string(e.what()) + " (record " + std::to_string(p_.record_) + ")");
    }
    if (f.function->runs_behind) {
      if (HelperThread* h = helper()) {
        if (stage.sampled) stage.sampled = run_behind(std::move(stage.sampled), *h);
        if (stage.events) stage.events = run_behind(std::move(stage.events), *h);
      }
    }
    return stage;
  }

  // The pipeline's helper thread, started on first use; none on a single core or when
  // the system has no thread to give.
  HelperThread* helper() {
    if (!p_.helper_ && !helper_refused_ && HelperThread::worthwhile()) {
      try {
        p_.helper_ = std::make_unique<HelperThread>();
      } catch (const std::system_error&) {
        helper_refused_ = true;
      }
    }
    return p_.helper_.get();
  }

  Pipeline& p_;
  PipelineSources& sources_;
  ComPtr<IChartData> chart_;
  std::map<std::int32_t, SampledNode*> recorded_;
  std::map<std::string, SampledNode*> computed_;
  std::set<std::string> inlining_;
  std::size_t enumerators_ = 0;
  bool helper_refused_ = false;
};

Pipeline::Pipeline(std::shared_ptr<const doc::Document> document, std::int32_t record, const expr::Resolved& program,
                   PipelineSources& sources, ComPtr<IChartData> chart, std::shared_ptr<SampledStore> samples,
                   std::shared_ptr<EventStore> events)
    : document_(std::move(document)), record_(record) {
  Builder builder(*this, sources, std::move(chart));
  if (program.kind == expr::ValueKind::Events) {
    if (!events) throw std::logic_error("an event expression needs an event store");
    builder.events(program, std::move(events));
  } else {
    if (!samples) throw std::logic_error("a sampled expression needs a sample store");
    // A sampled expression holds no enumerator, so nothing else has attached a store to
    // its root.
    builder.sampled(program).store = std::move(samples);
  }
}

Pipeline::~Pipeline() = default;


bool Pipeline::round() {
  bool any = false;
  for (auto& node : nodes_) {
    node->step();
    auto* s = dynamic_cast<SampledNode*>(node.get());
    if (s && s->store) s->store->append(s->fresh);
    if (node->is_leaf() && s && !s->fresh.empty()) any = true;
  }
  return any;
}

void Pipeline::advance(std::size_t until) {
  if (finished_) return;
  for (auto& node : nodes_) node->limit(until);
  while (round()) {
  }
  if (!document_->complete(record_) || until < static_cast<std::size_t>(document_->record_length(record_))) return;
  for (const auto& node : nodes_)
    if (!node->exhausted()) throw EvaluationError("an input of record " + std::to_string(record_) + " is not complete");
  for (auto& node : nodes_) {
    node->finish();
    if (auto* s = dynamic_cast<SampledNode*>(node.get()); s && s->store) {
      s->store->append(s->fresh);
      s->store->complete = true;
    }
  }
  finished_ = true;
}

}  // namespace korvel::calc
