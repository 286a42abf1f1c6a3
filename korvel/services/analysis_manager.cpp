// SPDX-License-Identifier: MIT
#include "korvel/services/analysis_manager.h"

#include <vector>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

// Both regions inclusive; a region whose start or end is unset overlaps nothing. The open
// end of a growing region orders after every recorded position.
bool overlaps(const Region& a, const Region& b) {
  if (!a.start.is_set() || !a.end.is_set()) return false;
  return a.start <= b.end && b.start <= a.end;
}

}  // namespace

const AnalysisManager::Client* AnalysisManager::find(const std::string& name) const {
  for (const auto& [cookie, c] : clients_)
    if (c.name == name) return &c;
  return nullptr;
}

AnalysisManager::Client& AnalysisManager::client(std::int32_t cookie) {
  auto it = clients_.find(cookie);
  if (it == clients_.end()) throw_hresult(E_INVALIDARG, "no analysis client " + std::to_string(cookie));
  return it->second;
}

std::int32_t AnalysisManager::begin_request(Region stretch) {
  const std::int32_t argument = next_argument_++;
  requests_[argument] = {stretch, {}};
  // Clients may register or unregister while they are asked: ask a snapshot.
  std::vector<ComPtr<IAnalysisClient>> asked;
  for (const auto& [cookie, c] : clients_) asked.push_back(c.client);
  for (const auto& c : asked) c->ReportRegion(argument);
  return argument;
}

std::map<std::int32_t, Region> AnalysisManager::collect_regions() {
  const std::int32_t argument = begin_request({TickPosition::unset(), TickPosition::unset()});
  std::map<std::int32_t, Region> out = std::move(requests_[argument].reported);
  requests_.erase(argument);
  return out;
}

std::size_t AnalysisManager::request(Ask ask, Region stretch) {
  const std::int32_t argument = begin_request(stretch);
  std::vector<ComPtr<IAnalysisClient>> asked;
  for (const auto& [cookie, c] : clients_) asked.push_back(c.client);
  for (const auto& c : asked) ask == Ask::Clear ? c->RequestClear(argument) : c->RequestReanalysis(argument);
  requests_.erase(argument);
  return asked.size();
}

std::size_t AnalysisManager::request_clear(TickPosition from, TickPosition to) { return request(Ask::Clear, {from, to}); }
std::size_t AnalysisManager::request_reanalysis(TickPosition from, TickPosition to) { return request(Ask::Reanalyse, {from, to}); }

HRESULT AnalysisManager::RegisterClient(const char16_t* name, const char16_t* displayText, IUnknown* client,
                                        std::int32_t* cookie) {
  if (!name || !displayText || !client || !cookie) return E_POINTER;
  return guard([&] {
    *cookie = -1;
    auto analysis = ComPtr<IUnknown>::retain(client).query<IAnalysisClient>();
    if (!analysis) return E_NOINTERFACE;
    const std::string n = utf16_to_utf8(name);
    if (find(n)) return E_INVALIDARG;
    *cookie = next_cookie_++;
    clients_[*cookie] = {n, utf16_to_utf8(displayText), std::move(analysis), {}, 0, std::nullopt};
    return S_OK;
  });
}

HRESULT AnalysisManager::UnregisterClient(std::int32_t cookie) {
  auto it = clients_.find(cookie);
  if (it == clients_.end()) return S_FALSE;
  // The client may be released here, and may call back while it goes.
  Client gone = std::move(it->second);
  clients_.erase(it);
  return S_OK;
}

HRESULT AnalysisManager::SetPersistedItem(std::int32_t cookie, std::int32_t index, IPersistStreamInit* object,
                                          VARIANT_BOOL) {
  if (!object) return E_POINTER;
  return guard([&] {
    if (index < 0) return E_INVALIDARG;
    client(cookie).items[index] = ComPtr<IPersistStreamInit>::retain(object);
    return S_OK;
  });
}

HRESULT AnalysisManager::IsAffected(std::int32_t cookie, std::int32_t argument, VARIANT_BOOL* affected) {
  if (!affected) return E_POINTER;
  return guard([&] {
    *affected = VARIANT_FALSE;
    client(cookie);
    auto request = requests_.find(argument);
    if (request == requests_.end()) return E_INVALIDARG;
    auto region = request->second.reported.find(cookie);
    *affected = to_variant_bool(region != request->second.reported.end() && overlaps(region->second, request->second.stretch));
    return S_OK;
  });
}

HRESULT AnalysisManager::MarkChanged(std::int32_t cookie) {
  return guard([&] {
    ++client(cookie).changes;
    return S_OK;
  });
}

HRESULT AnalysisManager::ReportRegion(std::int32_t cookie, TickPosition start, TickPosition end, std::int32_t argument) {
  return guard([&] {
    client(cookie).last_region = Region{start, end};
    if (auto request = requests_.find(argument); request != requests_.end()) request->second.reported[cookie] = {start, end};
    return S_OK;
  });
}

}  // namespace korvel::services
