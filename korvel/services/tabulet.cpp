// SPDX-License-Identifier: MIT
#include "korvel/services/tabulet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "korvel/services/session.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

std::string number(const char* format, double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, v);
  return buffer;
}

// At least one decimal, at most four.
std::string one_to_four_decimals(double v) {
  std::string s = number("%.4f", v);
  if (!std::isfinite(v)) return s;
  while (s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
  return s;
}

// A time of day from seconds, with hundredths; whole days are dropped.
std::string time_of_day(double seconds) {
  if (!std::isfinite(seconds)) return number("%g", seconds);
  long long hundredths = std::llround(seconds * 100.0) % (24LL * 3600 * 100);
  if (hundredths < 0) hundredths += 24LL * 3600 * 100;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld.%02lld", hundredths / 360000, hundredths / 6000 % 60,
                hundredths / 100 % 60, hundredths % 100);
  return buffer;
}

std::string text_of(BSTR s) { return Bstr::adopt(s).utf8(); }

}  // namespace

std::string si_prefix(std::int32_t exponent) {
  static const char* const prefixes[] = {"y", "z", "a", "f", "p", "n", "µ", "m", "", "k", "M", "G", "T", "P", "E", "Z", "Y"};
  if (exponent % 3 != 0 || exponent < -24 || exponent > 24) throw std::invalid_argument("no SI prefix for 10^" + std::to_string(exponent));
  return prefixes[(exponent + 24) / 3];
}

std::string format_cell(const CellValue& value, const std::string& format) {
  if (std::holds_alternative<std::monostate>(value)) return {};
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  const double v = std::holds_alternative<std::int32_t>(value) ? std::get<std::int32_t>(value) : std::get<double>(value);
  if (format == "0.0###") return one_to_four_decimals(v);
  if (format == "HH:mm:ss.00") return time_of_day(v);
  if (std::holds_alternative<std::int32_t>(value)) return std::to_string(std::get<std::int32_t>(value));
  return number("%.10g", v);
}

Tabulet::Tabulet(DocumentFrame& frame) : frame_(frame), source_(ComPtr<IUnknown>::retain(frame.data_object()->identity())) {}

Tabulet::~Tabulet() {
  for (const TabuletColumn& c : columns_) c.function->ReleaseData();
}

std::vector<std::string> Tabulet::available(const app::Application& application) {
  std::vector<std::pair<std::int32_t, std::string>> found;
  for (const app::RegisteredClass* c : application.extensions()->classes_in(kTabuletFunctionCategory)) {
    std::int32_t position = 0;
    if (auto cls = c->object.query<ITabuletFunctionClass>(); cls && SUCCEEDED(cls->GetListPosition(&position)))
      found.emplace_back(position, c->internal_name);
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> keys;
  for (auto& f : found) keys.push_back(std::move(f.second));
  return keys;
}

std::size_t Tabulet::add_column(const std::string& key) {
  ComPtr<ITabuletFunctionClass> cls;
  for (const app::RegisteredClass* c : frame_.session().application().extensions()->classes_in(kTabuletFunctionCategory))
    if (c->internal_name == key) cls = c->object.query<ITabuletFunctionClass>();
  if (!cls) throw std::invalid_argument("no Tabulet function is registered as '" + key + "'");
  TabuletColumn column;
  column.key = key;
  if (HRESULT hr = cls->CreateFunction(frame_.host_object()->identity(), 0, column.function.put()); FAILED(hr) || !column.function)
    throw_hresult(FAILED(hr) ? hr : E_UNEXPECTED, "Tabulet function '" + key + "' could not be created");
  BSTR text = nullptr, short_title = nullptr;
  std::int32_t exponent = 0;
  check_hresult(column.function->GetName(&text));
  column.name = text_of(text);
  check_hresult(cls->GetTitles(&text, &short_title));
  column.title = text_of(text);
  SysFreeString(short_title);
  check_hresult(column.function->GetUnit(&text, &exponent));
  const std::string unit = text_of(text);
  column.unit = unit.empty() ? unit : si_prefix(exponent) + unit;
  check_hresult(column.function->GetNumberFormat(&text));
  column.format = text_of(text);
  columns_.push_back(std::move(column));
  fed_.emplace_back();
  return columns_.size() - 1;
}

std::size_t Tabulet::add_row(const TabuletRow& row) {
  rows_.push_back(row);
  return rows_.size() - 1;
}

HRESULT Tabulet::feed(std::size_t row, std::size_t column) {
  const TabuletRow& r = rows_.at(row);
  ITabuletFunction& f = *columns_.at(column).function;
  Fed& fed = fed_[column];
  if (fed.source != source_.get()) {
    if (HRESULT hr = f.SetDataSource(source_.get()); FAILED(hr)) return hr;
    fed.source = source_.get();
  }
  if (fed.channel != r.channel) {
    if (HRESULT hr = f.SetChannel(r.channel); FAILED(hr)) return hr;
    fed.channel = r.channel;
  }
  if (fed.range != std::pair{r.start, r.end}) {
    if (HRESULT hr = f.SetRange(r.start, r.end); FAILED(hr)) return hr;
    fed.range = std::pair{r.start, r.end};
  }
  return S_OK;
}

TabuletCell Tabulet::cell_of(std::size_t column, HRESULT status, VARIANT& value) const {
  TabuletCell c;
  c.status = status;
  if (status == S_OK) {
    switch (value.vt) {
      case VT_I4: c.value = value.lVal; break;
      case VT_R8: c.value = value.dblVal; break;
      case VT_BSTR: c.value = utf16_to_utf8(std::u16string_view(value.bstrVal, SysStringLen(value.bstrVal))); break;
      default: break;
    }
    c.text = format_cell(c.value, columns_[column].format);
  }
  VariantClear(&value);
  return c;
}

TabuletCell Tabulet::cell(std::size_t row, std::size_t column) {
  if (HRESULT hr = feed(row, column); FAILED(hr)) return TabuletCell{hr, {}, {}};
  VARIANT value;
  VariantInit(&value);
  const HRESULT status = columns_[column].function->GetValue(&value);
  return cell_of(column, status, value);
}

std::vector<std::vector<TabuletCell>> Tabulet::evaluate() {
  std::vector<std::vector<TabuletCell>> out(rows_.size());
  for (std::size_t r = 0; r < rows_.size(); ++r)
    for (std::size_t c = 0; c < columns_.size(); ++c) out[r].push_back(cell(r, c));
  return out;
}

TabuletCell Tabulet::calculate(std::size_t row, std::size_t column, TabuletReason reason) {
  if (HRESULT hr = feed(row, column); FAILED(hr)) return TabuletCell{hr, {}, {}};
  VARIANT value;
  VariantInit(&value);
  const HRESULT status = columns_[column].function->Calculate(reason, rows_[row].channel, &value);
  return cell_of(column, status, value);
}

}  // namespace korvel::services
