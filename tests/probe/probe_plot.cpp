// SPDX-License-Identifier: MIT
#include "tests/probe/probe_plot.h"

#include <algorithm>
#include <cstdio>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace probe {
namespace {

class Series final : public ComObject<IPlotData> {
 public:
  Series(std::shared_ptr<const std::vector<double>> values, std::u16string id, std::int32_t position = 0)
      : values_(std::move(values)), id_(std::move(id)), position_(position) {}

  HRESULT Next(ULONG count, float* out, ULONG* fetched) override {
    if (!fetched || (count > 0 && !out)) return E_POINTER;
    const auto size = static_cast<std::int32_t>(values_->size());
    const auto n = static_cast<ULONG>(std::clamp<std::int64_t>(size - position_, 0, count));
    for (ULONG i = 0; i < n; ++i) out[i] = static_cast<float>((*values_)[static_cast<std::size_t>(position_) + i]);
    position_ += static_cast<std::int32_t>(n);
    *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(std::int32_t count, std::int32_t* moved) override {
    const auto size = static_cast<std::int64_t>(values_->size());
    const auto to = std::clamp<std::int64_t>(std::int64_t{position_} + count, 0, size);
    const auto distance = static_cast<std::int32_t>(to - position_);
    position_ = static_cast<std::int32_t>(to);
    if (moved) *moved = distance;
    return distance == count ? S_OK : S_FALSE;
  }
  HRESULT GetPosition(std::int32_t* position) override {
    if (!position) return E_POINTER;
    *position = position_;
    return S_OK;
  }
  HRESULT Clone(IPlotData** copy) override {
    if (!copy) return E_POINTER;
    return guard([&] {
      *copy = make_com<Series>(values_, id_, position_).detach();
      return S_OK;
    });
  }
  HRESULT GetCount(ULONG* count) override {
    if (!count) return E_FAIL;
    *count = static_cast<ULONG>(values_->size());
    return S_OK;
  }
  HRESULT GetRange(double* min, double* max) override {
    if (!min || !max) return E_POINTER;
    if (values_->empty()) return S_FALSE;
    const auto [lo, hi] = std::minmax_element(values_->begin(), values_->end());
    *min = *lo;
    *max = *hi;
    return S_OK;
  }
  HRESULT GetId(BSTR* id) override {
    if (!id) return E_POINTER;
    *id = SysAllocStringLen(id_.data(), static_cast<std::uint32_t>(id_.size()));
    return S_OK;
  }
  HRESULT GetLabel(ULONG index, BSTR* label) override {
    if (!label) return E_POINTER;
    *label = nullptr;
    if (index >= values_->size()) return S_FALSE;
    char text[64];
    std::snprintf(text, sizeof text, "%u\t%g", index, (*values_)[index]);
    *label = Bstr(std::string(text)).detach();
    return S_OK;
  }

 private:
  std::shared_ptr<const std::vector<double>> values_;
  std::u16string id_;
  std::int32_t position_;
};

class Callbacks final : public ComObject<IPlotCallbacks> {
 public:
  explicit Callbacks(Journal journal) : journal_(std::move(journal)) {}

  HRESULT OnLinesDragged(const char16_t* plotterId, const double* positions, ULONG count) override {
    if (!plotterId || (count > 0 && !positions)) return E_POINTER;
    std::string line = "lines " + utf16_to_utf8(plotterId);
    for (ULONG i = 0; i < count; ++i) {
      char value[32];
      std::snprintf(value, sizeof value, " %g", positions[i]);
      line += value;
    }
    journal_->push_back(line);
    return S_OK;
  }
  HRESULT OnMouseClick(const char16_t* plotterId, const char16_t* label) override {
    if (!plotterId || !label) return E_POINTER;
    std::string text = utf16_to_utf8(label);
    std::replace(text.begin(), text.end(), '\t', '|');
    journal_->push_back("click " + utf16_to_utf8(plotterId) + " " + text);
    return S_OK;
  }

 private:
  Journal journal_;
};

}  // namespace

ComPtr<IPlotData> make_series(std::shared_ptr<const std::vector<double>> values, std::u16string id) {
  return ComPtr<IPlotData>::adopt(make_com<Series>(std::move(values), std::move(id)).detach());
}

ComPtr<IPlotCallbacks> make_plot_callbacks(Journal journal) {
  return ComPtr<IPlotCallbacks>::adopt(make_com<Callbacks>(std::move(journal)).detach());
}

std::u16string escape_markup(std::u16string_view markup) {
  std::u16string out;
  for (std::size_t i = 0; i < markup.size(); ++i) {
    if (markup[i] == u'\'') {
      out += u"\\'";
    } else if (markup[i] == u'\r' && i + 1 < markup.size() && markup[i + 1] == u'\n') {
      out += u"\\n\\\r\n";
      ++i;
    } else {
      out += markup[i];
    }
  }
  return out;
}

}  // namespace probe
