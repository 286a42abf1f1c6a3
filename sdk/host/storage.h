// SPDX-License-Identifier: MIT
// Storage of a document's persisted items and the analysis manager.
// Threads: every operation is called on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "sdk/stream.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"

// Keeps persisted items with the host document; saves and loads their streams with it.
// Implemented by the host.
struct IDocumentStorage : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C030}");

  // Hands `object` (in) to the storage as item `index`; `loaded` says whether the object
  // already holds loaded state.
  virtual HRESULT SetPersistedItem(std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) = 0;
  // `object` (out) is null with S_FALSE when the item was never set.
  virtual HRESULT GetPersistedItem(std::int32_t index, IPersistStreamInit** object) = 0;

 protected:
  ~IDocumentStorage() = default;
};

// Coordinates the analyses that extensions keep of a document. Implemented by the host.
struct IAnalysisManager : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C031}");

  // Registers a client under `name` with a display text; `cookie` (out) identifies it.
  // `client` (in) answers IAnalysisClient; the manager keeps a reference until
  // UnregisterClient.
  virtual HRESULT RegisterClient(const char16_t* name, const char16_t* displayText, IUnknown* client,
                                 std::int32_t* cookie) = 0;
  virtual HRESULT UnregisterClient(std::int32_t cookie) = 0;
  virtual HRESULT SetPersistedItem(std::int32_t cookie, std::int32_t index, IPersistStreamInit* object,
                                   VARIANT_BOOL loaded) = 0;
  // Whether the client's analysis is concerned by the host's pending request (`argument`).
  virtual HRESULT IsAffected(std::int32_t cookie, std::int32_t argument, VARIANT_BOOL* affected) = 0;
  virtual HRESULT MarkChanged(std::int32_t cookie) = 0;
  virtual HRESULT ReportRegion(std::int32_t cookie, TickPosition start, TickPosition end, std::int32_t argument) = 0;

 protected:
  ~IAnalysisManager() = default;
};

// An analysis registered with the analysis manager. Implemented by the extension's
// document; called by the host's analysis manager. `argument` identifies the host's request
// and is passed back to the manager unread.
struct IAnalysisClient : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C39}");

  // The client reports its analysis region through IAnalysisManager::ReportRegion.
  virtual HRESULT ReportRegion(std::int32_t argument) = 0;
  // The client clears its analysis when IAnalysisManager::IsAffected says it is concerned.
  virtual HRESULT RequestClear(std::int32_t argument) = 0;
  // The client runs its analysis again when IsAffected says it is concerned.
  virtual HRESULT RequestReanalysis(std::int32_t argument) = 0;

 protected:
  ~IAnalysisClient() = default;
};
