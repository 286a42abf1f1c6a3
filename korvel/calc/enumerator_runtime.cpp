// SPDX-License-Identifier: MIT
#include "korvel/calc/enumerator_runtime.h"

#include <algorithm>
#include <charconv>

#include "korvel/calc/evaluation_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::calc {
namespace {

std::string hex(HRESULT hr) {
  char text[16];
  auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<std::uint32_t>(hr), 16);
  (void)ec;
  return "0x" + std::string(text, end);
}

}  // namespace

std::string enumerator_parameter_text(std::span<const double> numbers) {
  std::string text;
  for (double value : numbers) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;  // 32 characters hold every double
    if (!text.empty()) text += ' ';
    text.append(buffer, end);
  }
  return text;
}

EnumeratorRuntime::EnumeratorRuntime(const EnumeratorEntry& entry, std::span<const double> numbers)
    : function_(entry.name), event_size_(entry.event_size), buffer_(std::size_t{kBufferEvents} * entry.event_size) {
  const std::u16string text = utf8_to_utf16(enumerator_parameter_text(numbers));
  const HRESULT hr = entry.enumerator_class->CreateEnumerator(text.c_str(), enumerator_.put());
  if (FAILED(hr) || !enumerator_)
    throw EvaluationError("'" + function_ + "' refused its parameters \"" + utf16_to_utf8(text) + "\" (" + hex(hr) + ")");
  std::uint32_t size = 0;
  if (FAILED(enumerator_->GetEventSize(&size)) || size != event_size_)
    throw EvaluationError("'" + function_ + "' yields events of " + std::to_string(size) + " bytes but its class declares " +
                          std::to_string(event_size_));
}

void EnumeratorRuntime::start_record(std::int32_t record, double sample_interval, bool growing, ComPtr<ICalcInputs> inputs) {
  if (HRESULT hr = enumerator_->BindInputs(inputs.get()); FAILED(hr))
    throw EvaluationError("'" + function_ + "' refused the inputs of record " + std::to_string(record) + " (" + hex(hr) + ")");
  if (HRESULT hr = enumerator_->StartRecord(record, sample_interval, growing ? kCalcRecordGrowing : kCalcRecordComplete); FAILED(hr))
    throw EvaluationError("'" + function_ + "' could not start record " + std::to_string(record) + " (" + hex(hr) + ")");
  record_ = record;
}

void EnumeratorRuntime::read(EventStore& out) {
  for (;;) {
    std::uint32_t count = 0;
    std::int32_t next = out.final_until;
    const HRESULT hr = enumerator_->ReadEvents(buffer_.data(), kBufferEvents, &count, &next);
    if (FAILED(hr)) throw EvaluationError("'" + function_ + "' failed to read events in record " + std::to_string(record_) + " (" + hex(hr) + ")");
    if (count > kBufferEvents)
      throw EvaluationError("'" + function_ + "' wrote " + std::to_string(count) + " events into a buffer for " + std::to_string(kBufferEvents));
    if (!out.append(buffer_.data(), count))
      throw EvaluationError("'" + function_ + "' yielded events out of tick order in record " + std::to_string(record_));
    out.final_until = std::max(out.final_until, next);
    // S_FALSE, or an S_OK that wrote nothing, ends what is available now.
    if (hr != S_OK || count == 0) return;
  }
}

}  // namespace korvel::calc
