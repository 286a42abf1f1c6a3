// SPDX-License-Identifier: MIT
#include "korvel/calc/function_table.h"

#include <stdexcept>

#include "korvel/expr/names.h"
#include "sdk/cpp/utf.h"

namespace korvel::calc {

std::unique_ptr<EnumeratorEntry> describe_enumerator(ComPtr<ICalcEnumeratorClass> enumerator_class) {
  const CalcEnumeratorDescription* d = nullptr;
  if (!enumerator_class || FAILED(enumerator_class->GetDescription(&d)) || !d)
    throw std::invalid_argument("an enumerator class gave no description");
  if (!d->functionName || !d->functionName[0]) throw std::invalid_argument("an enumerator class has no function name");
  const std::string function = utf16_to_utf8(d->functionName);
  auto fail = [&](const std::string& what) { throw std::invalid_argument("enumerator function '" + function + "': " + what); };
  if (!expr::is_identifier(function)) fail("the function name is not an identifier");
  if (d->parameterCount > 0 && (!d->parameterNames || !d->parameterKinds)) fail("parameter names or kinds are missing");
  if (!d->ranges) fail("the range table is missing");
  if (d->eventSize < sizeof(CalcEventHeader)) fail("event records of " + std::to_string(d->eventSize) + " bytes are too small");

  auto entry = std::make_unique<EnumeratorEntry>();
  entry->name = function;
  entry->result = expr::ValueKind::Events;
  entry->enumerator_class = std::move(enumerator_class);
  entry->event_size = d->eventSize;
  bool has_input = false;
  for (std::uint32_t i = 0; i < d->parameterCount; ++i) {
    expr::ParameterSpec p;
    p.name = d->parameterNames[i] ? utf16_to_utf8(d->parameterNames[i]) : std::string();
    const CalcParameterRange range = d->ranges[i];
    if (range.min == kCalcRangeEnd.min && range.max == kCalcRangeEnd.max)
      fail("the range table ends after " + std::to_string(i) + " of " + std::to_string(d->parameterCount) + " parameters");
    switch (d->parameterKinds[i]) {
      case kCalcNumber:
        p.kind = expr::ValueKind::Number;
        if (!(range.min <= range.max)) fail("parameter '" + p.name + "' has an empty range");
        p.min = range.min;
        p.max = range.max;
        break;
      case kCalcSampledInput:
      case kCalcEventInput:
        p.kind = d->parameterKinds[i] == kCalcSampledInput ? expr::ValueKind::Sampled : expr::ValueKind::Events;
        if (range.min != 0.0 || range.max != 0.0) fail("input '" + p.name + "' must have the range (0, 0)");
        has_input = true;
        break;
      default: fail("parameter '" + p.name + "' is of unknown kind " + std::to_string(d->parameterKinds[i]));
    }
    entry->parameters.push_back(std::move(p));
  }
  const CalcParameterRange end = d->ranges[d->parameterCount];
  if (end.min != kCalcRangeEnd.min || end.max != kCalcRangeEnd.max) fail("the range table does not end with (-1, -1)");
  if (!has_input) fail("the function has no channel input");
  return entry;
}

FunctionTable::FunctionTable(const EnumeratorClasses* extensions) : extensions_(extensions) {
  for (const signal::SignalFunction& f : signal::signal_functions()) {
    SignalEntry entry;
    entry.name = std::string(f.name);
    entry.function = &f;
    entry.result = f.result == signal::ResultKind::Sampled ? expr::ValueKind::Sampled : expr::ValueKind::Events;
    entry.parameters.push_back({"", expr::ValueKind::Sampled});
    for (std::size_t i = 0; i < f.numeric_arity; ++i) entry.parameters.push_back({"", expr::ValueKind::Number});
    signals_.push_back(std::move(entry));
  }
}

const expr::FunctionSignature* FunctionTable::find(std::string_view name) const {
  for (const SignalEntry& s : signals_)
    if (expr::iequals(s.name, name)) return &s;
  if (!extensions_) return nullptr;
  const std::string key = expr::ascii_lower(name);
  ComPtr<ICalcEnumeratorClass> cls = extensions_->find_enumerator_class(key);
  if (!cls) return nullptr;
  auto it = enumerators_.find(key);
  if (it == enumerators_.end() || it->second->enumerator_class.get() != cls.get()) {
    try {
      it = enumerators_.insert_or_assign(key, describe_enumerator(cls)).first;
    } catch (const std::invalid_argument&) {
      return nullptr;  // the registry refuses such classes; a class that changed since is unusable
    }
  }
  return it->second.get();
}

}  // namespace korvel::calc
