// SPDX-License-Identifier: MIT
// The analysis manager of a document: extensions register their analyses with it as
// clients, hand it their persisted items, tell it when an analysis changed, and report
// their analysis regions when the host asks. The host asks through requests: each carries a
// stretch of data and a fresh argument; a client that is asked to clear or re-run its
// analysis asks back whether the request concerns it, which is so when the region it
// reported for that request overlaps the stretch.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "sdk/cpp/com_object.h"
#include "sdk/host/storage.h"

namespace korvel::services {

struct Region {
  TickPosition start;
  TickPosition end;
  friend bool operator==(const Region&, const Region&) = default;
};

class AnalysisManager final : public ComObject<IAnalysisManager> {
 public:
  struct Client {
    std::string name;
    std::string text;
    ComPtr<IAnalysisClient> client;
    std::map<std::int32_t, ComPtr<IPersistStreamInit>> items;
    int changes = 0;                  // MarkChanged calls
    std::optional<Region> last_region;  // the last region reported, for any request
  };

  const std::map<std::int32_t, Client>& clients() const noexcept { return clients_; }
  const Client* find(const std::string& name) const;

  // Asks every client for its region; the regions reported, by cookie.
  std::map<std::int32_t, Region> collect_regions();
  // Asks every client to clear (re-run) its analysis when its region overlaps the
  // inclusive stretch [from, to]. Returns the number of clients asked.
  std::size_t request_clear(TickPosition from, TickPosition to);
  std::size_t request_reanalysis(TickPosition from, TickPosition to);

  // Releases every client: a document that did not unregister when it closed keeps no
  // cycle through the manager alive.
  void clear() noexcept { clients_.clear(); }

  // E_POINTER for null arguments, E_NOINTERFACE when `client` does not answer
  // IAnalysisClient, E_INVALIDARG for a name that another client holds. Cookies count
  // from 1 and are never reused.
  HRESULT RegisterClient(const char16_t* name, const char16_t* displayText, IUnknown* client, std::int32_t* cookie) override;
  // S_FALSE for a cookie that is not registered.
  HRESULT UnregisterClient(std::int32_t cookie) override;
  // The following answer E_INVALIDARG for an unknown cookie.
  HRESULT SetPersistedItem(std::int32_t cookie, std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) override;
  // E_INVALIDARG also for an argument that names no request in progress.
  HRESULT IsAffected(std::int32_t cookie, std::int32_t argument, VARIANT_BOOL* affected) override;
  HRESULT MarkChanged(std::int32_t cookie) override;
  // Outside a request the region is kept as the client's last one only.
  HRESULT ReportRegion(std::int32_t cookie, TickPosition start, TickPosition end, std::int32_t argument) override;

 private:
  struct Request {
    Region stretch;
    std::map<std::int32_t, Region> reported;
  };
  enum class Ask { Clear, Reanalyse };

  std::int32_t begin_request(Region stretch);
  std::size_t request(Ask ask, Region stretch);
  Client& client(std::int32_t cookie);

  std::map<std::int32_t, Client> clients_;
  std::int32_t next_cookie_ = 1;
  std::map<std::int32_t, Request> requests_;
  std::int32_t next_argument_ = 1;
};

}  // namespace korvel::services
