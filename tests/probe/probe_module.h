// SPDX-License-Identifier: MIT
// Inside the probe: its module id, the mask child's interface, and the factories of its
// objects.
#pragma once

#include <cstdint>
#include <set>

#include "sdk/cpp/com_ptr.h"
#include "sdk/host/application.h"
#include "sdk/host/calc_enumerator.h"
#include "tests/probe/probe_interfaces.h"

namespace probe {

// The module id the host gave kProbeFamily, asked for at registration.
std::uint16_t module_id();
inline std::uint32_t mask_type_id() { return (std::uint32_t{module_id()} << 16) | kMaskLocalType; }
// The application of the last registration, not owned: the host outlives the documents
// that use it.
IApplication* application();

// Ticks at which the threshold enumerator yields no crossing; a chart data child.
struct IProbeMask : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F11}");

  virtual void Add(std::int32_t tick) = 0;
  virtual bool Contains(std::int32_t tick) = 0;

 protected:
  ~IProbeMask() = default;
};

// Out-parameter helpers of the class objects.
inline HRESULT put_text(const char16_t* text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocString(text);
  return S_OK;
}
template <class T>
HRESULT put_value(T value, T* out) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

ComPtr<IChartDataChildData> make_mask();
ComPtr<IUnknown> make_threshold_class();
ComPtr<IUnknown> make_client_class();
ComPtr<IUnknown> make_document_class();
ComPtr<IUnknown> make_view_class();
ComPtr<IUnknown> make_crossings_function_class();
ComPtr<IUnknown> make_interval_function_class();
ComPtr<IUnknown> make_scaled_class();
ComPtr<IUnknown> make_note_export_class();

}  // namespace probe
