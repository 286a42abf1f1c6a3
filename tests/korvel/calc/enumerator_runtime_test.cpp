// SPDX-License-Identifier: MIT
// The host side of calculation enumerators, against a recording fake: how the host builds
// an enumerator from its call, in which order it binds and starts records, what the inputs
// show, and how it refuses parameters and contract breaks.
#include "korvel/calc/enumerator_runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "korvel/calc/computed_channels.h"
#include "korvel/calc/evaluation_error.h"
#include "korvel/expr/expression_error.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"

namespace korvel::calc {
namespace {

using Log = std::vector<std::string>;

// What "Marker(Signal, Marks, Scale)" yields: one event per event of Marks, carrying the
// signal's value there times Scale. Scale 9 yields its events in falling tick order;
// scale 8 reads the signal at tick 0 for every mark.
struct MarkerEvent {
  std::int32_t tick;
  float fraction;
  double value;
  std::int32_t record;
  std::uint32_t padding;
};
static_assert(sizeof(MarkerEvent) == 24);

class Marker final : public ComObject<ICalcEnumerator> {
 public:
  Marker(Log& log, double scale) : log_(log), scale_(scale) {}

  HRESULT BindInputs(ICalcInputs* inputs) override {
    ComPtr<ISampledInput> wrong_sampled;
    ComPtr<IEventInput> wrong_events;
    if (inputs->GetSampledInput(1, wrong_sampled.put()) != E_INVALIDARG || inputs->GetEventInput(2, wrong_events.put()) != E_INVALIDARG ||
        inputs->GetSampledInput(3, wrong_sampled.put()) != E_INVALIDARG)
      return E_UNEXPECTED;
    signal_.reset();
    marks_.reset();
    if (FAILED(inputs->GetSampledInput(0, signal_.put())) || FAILED(inputs->GetEventInput(1, marks_.put()))) return E_INVALIDARG;
    log_.push_back("bind");
    return S_OK;
  }
  HRESULT StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) override {
    record_ = record;
    log_.push_back("start " + std::to_string(record) + " " + std::to_string(mode) + " " + std::to_string(sampleInterval));
    return S_OK;
  }
  HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) override {
    std::int32_t end = 0, tick = 0, got = 0, looked = 0;
    VARIANT_BOOL complete;
    signal_->GetAvailable(&end, &complete);
    auto* out = static_cast<MarkerEvent*>(buffer);
    for (*count = 0; *count < maxEvents && marks_->GetCurrent(&tick) == S_OK && tick < end; marks_->Advance()) {
      float value = 0;
      signal_->ReadSamples(scale_ == 8 ? 0 : tick, 1, &value, &got);
      out[(*count)++] = {scale_ == 9 ? 1000000 - tick : tick, 0.0f, double{value} * scale_, record_, 0};
    }
    marks_->GetPosition(&looked);
    *nextTick = std::min(looked, end);
    return *count > 0 ? S_OK : S_FALSE;
  }
  HRESULT Find(VARIANT_BOOL, std::int32_t, std::int32_t, std::int32_t) override { return E_NOTIMPL; }
  HRESULT GetCurrentEvent(void*) override { return E_NOTIMPL; }
  HRESULT GetPosition(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT GetEventSize(std::uint32_t* size) override { return *size = sizeof(MarkerEvent), S_OK; }
  HRESULT Clone(ICalcEnumerator**) override { return E_NOTIMPL; }

 private:
  Log& log_;
  double scale_;
  std::int32_t record_ = -1;
  ComPtr<ISampledInput> signal_;
  ComPtr<IEventInput> marks_;
};

const char16_t* const kNames[] = {u"Signal", u"Marks", u"Scale"};
const CalcParameterKind kKinds[] = {kCalcSampledInput, kCalcEventInput, kCalcNumber};
const CalcParameterRange kRanges[] = {{0, 0}, {0, 0}, {0, 10}, kCalcRangeEnd};
const CalcEnumeratorDescription kDescription{u"MarkerEnum", u"test", u"Marker", kNames, kKinds, 3, kRanges, u"Marked", 0x201,
                                            sizeof(MarkerEvent)};

class MarkerClass final : public ComObject<ICalcEnumeratorClass> {
 public:
  explicit MarkerClass(Log& log) : log_(log) {}
  HRESULT GetDescription(const CalcEnumeratorDescription** description) override { return *description = &kDescription, S_OK; }
  HRESULT CreateEnumerator(const char16_t* parameters, ICalcEnumerator** enumerator) override {
    const std::string text = utf16_to_utf8(parameters);
    log_.push_back("create " + text);
    if (text == "7") return E_INVALIDARG;
    *enumerator = make_com<Marker>(log_, std::stod(text)).detach();
    return S_OK;
  }

 private:
  Log& log_;
};

class Classes final : public EnumeratorClasses {
 public:
  explicit Classes(Log& log) : marker_(make_com<MarkerClass>(log)) {}
  ComPtr<ICalcEnumeratorClass> find_enumerator_class(std::string_view function) const override {
    return function == "marker" ? ComPtr<ICalcEnumeratorClass>::retain(marker_.get()) : nullptr;
  }

 private:
  ComPtr<MarkerClass> marker_;
};

// Three records, the last at half the rate, each with isolated spikes on Ch1.
doc::Document spikes() {
  io::Recording r;
  for (int k = 0; k < 3; ++k) {
    std::vector<float> x(3000, 0.0f);
    for (std::size_t t = 200 + 100 * static_cast<std::size_t>(k); t < x.size(); t += 450) x[t] = 1.0f;
    r.records.push_back({10.0 * k, k == 2 ? 0.004 : 0.002, {{"X", "", x}}});
  }
  return doc::Document(r);
}

class EnumeratorRuntimeTest : public ::testing::Test {
 protected:
  std::int32_t define(const std::string& name, const std::string& expression) {
    const std::int32_t index = channels.create(name);
    channels.set_expression(index, expression);
    return index;
  }
  std::vector<MarkerEvent> marked(std::int32_t channel, std::int32_t record) {
    auto store = channels.events(channel, record);
    EXPECT_EQ(store->event_size(), sizeof(MarkerEvent));
    std::vector<MarkerEvent> out(store->count());
    if (!out.empty()) std::memcpy(out.data(), store->record(0), out.size() * sizeof(MarkerEvent));
    return out;
  }

  Log log;
  Classes classes{log};
  FunctionTable functions{&classes};
  std::shared_ptr<doc::Document> document = std::make_shared<doc::Document>(spikes());
  ComputedChannels channels{document, functions, nullptr};
  std::int32_t signal = define("S", "lowpass(Ch1,40)");
  std::int32_t marks = define("M", "cmpeakdet(Ch1,0.5,0.05,30)");
};

TEST_F(EnumeratorRuntimeTest, BindsAndStartsEveryRecordInOrderOnceUntilAnInputIsReset) {
  const auto f = define("F", "marker(S, M, 2.5)");
  EXPECT_TRUE(channels.keeps_samples(signal));
  ASSERT_EQ(marked(f, 2).size(), 6u);
  const Log want = {"create 2.5", "bind", "start 0 0 0.002000", "bind", "start 1 0 0.002000", "bind", "start 2 0 0.004000"};
  EXPECT_EQ(log, want);
  marked(f, 0);
  EXPECT_EQ(log.size(), want.size()) << "records already evaluated are kept";
  log.clear();
  channels.reset(signal);
  marked(f, 0);
  EXPECT_EQ(log, (Log{"create 2.5", "bind", "start 0 0 0.002000"})) << "an input reset starts afresh";
}

TEST_F(EnumeratorRuntimeTest, ShowsTheEvaluatedInputsOfEachRecord) {
  const auto f = define("F", "MARKER(S, M, 2.5)");
  for (std::int32_t r = 0; r < 3; ++r) {
    const auto events = marked(f, r);
    const auto peaks = channels.events(marks, r);
    const auto s = channels.samples(signal, r);
    ASSERT_EQ(events.size(), peaks->count()) << "record " << r;
    for (std::size_t i = 0; i < events.size(); ++i)
      EXPECT_EQ(std::tuple(events[i].tick, events[i].value, events[i].record),
                std::tuple(peaks->tick(i), double{s[static_cast<std::size_t>(events[i].tick)]} * 2.5, r));
  }
}

TEST_F(EnumeratorRuntimeTest, RefusesParametersOutsideTheirRangeWhenTheExpressionIsSet) {
  const auto f = channels.create("F");
  try {
    channels.set_expression(f, "marker(S, M, 11)");
    FAIL() << "accepted";
  } catch (const expr::ExpressionError& e) {
    EXPECT_STREQ(e.what(), "parameter 'Scale' of 'Marker' is 11, outside its range 0 to 10 at column 14");
  }
  EXPECT_THROW(channels.set_expression(f, "marker(S, M)"), expr::ExpressionError);
  EXPECT_THROW(channels.set_expression(f, "marker(M, S, 1)"), expr::ExpressionError);
  EXPECT_TRUE(log.empty());
}

TEST_F(EnumeratorRuntimeTest, ReportsAnEnumeratorThatRefusesOrBreaksTheContract) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"R", "marker(S, M, 7)", "'Marker' refused its parameters \"7\" (0x80070057)"},
      {"D", "marker(S, M, 9)", "'Marker' yielded events out of tick order in record 0"}};
  for (const auto& [name, expression, expected] : cases) {
    try {
      channels.events(define(name, expression), 0);
      ADD_FAILURE() << expression << " evaluated";
    } catch (const EvaluationError& e) {
      EXPECT_STREQ(e.what(), expected);
    }
  }
}

// An input the enumerator reads at random keeps only a margin behind the last mark it
// consumed (30 s): a reader that stays near its marks sees every sample, one that reads
// further back is stopped, never handed other samples, and a later reader gets the record
// evaluated again from its start.
TEST(EnumeratorInputs, KeepAMarginBehindTheMarksConsumedAndRefuseReadsBeyondIt) {
  io::Recording r;
  std::vector<float> x(200000, 0.0f);
  for (std::size_t t = 200; t < x.size(); t += 450) x[t] = 1.0f;
  r.records.push_back({0.0, 0.001, {{"X", "", x}}});
  Log log;
  Classes classes{log};
  FunctionTable functions{&classes};
  ComputedChannels channels{std::make_shared<doc::Document>(r), functions, nullptr};
  const auto define = [&](const std::string& name, const std::string& expression) {
    const std::int32_t index = channels.create(name);
    channels.set_expression(index, expression);
    return index;
  };
  const auto signal = define("S", "lowpass(Ch1,40)");
  const auto marks = define("M", "cmpeakdet(Ch1,0.5,0.05,30)");
  const auto near = channels.events(define("F", "marker(S, M, 1)"), 0);
  const auto s = channels.samples(signal, 0);
  ASSERT_EQ(near->count(), channels.events(marks, 0)->count());
  for (std::size_t i = 0; i < near->count(); ++i) {
    MarkerEvent e;
    std::memcpy(&e, near->record(i), sizeof e);
    ASSERT_EQ(e.value, s[static_cast<std::size_t>(e.tick)]) << "tick " << e.tick;
  }
  try {
    channels.events(define("G", "marker(S, M, 8)"), 0);
    FAIL() << "read released samples";
  } catch (const EvaluationError& e) {
    EXPECT_STREQ(e.what(), "'Marker' read channel 'S' further back than is kept: samples 0 to 1 were read after they were "
                           "released (samples are kept from 2600 on)");
  }
}

TEST(EnumeratorParameterText, WritesEachNumberInItsShortestExactForm) {
  const double numbers[] = {0.08, 0, 2147480000, 1e-7, -1, 1.0 / 3};
  EXPECT_EQ(enumerator_parameter_text(numbers), "0.08 0 2147480000 1e-07 -1 0.3333333333333333");
}

}  // namespace
}  // namespace korvel::calc
