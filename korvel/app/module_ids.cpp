// SPDX-License-Identifier: MIT
#include "korvel/app/module_ids.h"

#include <cstring>
#include <map>
#include <mutex>

#include "sdk/cpp/hresult_error.h"

namespace korvel::app {
namespace {

struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const noexcept { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

constexpr std::uint32_t kFirstId = 0x1000;

}  // namespace

std::uint16_t module_id(const GUID& family) {
  static std::mutex mutex;
  static std::map<GUID, std::uint16_t, GuidLess> ids;
  std::lock_guard lock(mutex);
  if (auto it = ids.find(family); it != ids.end()) return it->second;
  const std::uint32_t next = kFirstId + static_cast<std::uint32_t>(ids.size());
  if (next > 0xFFFF) throw_hresult(E_OUTOFMEMORY, "every module id is taken");
  ids.emplace(family, static_cast<std::uint16_t>(next));
  return static_cast<std::uint16_t>(next);
}

}  // namespace korvel::app
