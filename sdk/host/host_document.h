// SPDX-License-Identifier: MIT
// Documents: the host document as an extension's document sees it, the extension's
// document as the host drives it, and the class object that creates one extension document
// for each host document. All calls come on the host's user-interface thread.
//
// Life of an extension document: the host creates it with IDocumentClass::CreateDocument,
// asks it for its persisted objects (GetPersistedObject) and loads or initialises them,
// calls OnLoaded after a load, sends kMessageDocumentAttached (sdk/host/messages.h),
// calls SetupUserInterface once its window exists, executes commands (sdk/host/menus.h)
// and delivers messages until it calls Close, and then releases the document.
#pragma once

#include <cstdint>

#include "sdk/host/chart.h"
#include "sdk/host/document_data.h"
#include "sdk/host/menus.h"
#include "sdk/host/messages.h"
#include "sdk/host/sampling.h"
#include "sdk/host/storage.h"
#include "sdk/stream.h"
#include "sdk/unknown.h"

// Host category of document classes (IClassObjectInfo::GetCategory).
inline constexpr GUID kDocumentCategory = make_guid("{D6F52E84-B34D-11D3-80C7-005004AD3C53}");

// What the host hands an extension's document. Implemented by the host. Getters hand out an
// AddRef'ed pointer (out) and E_POINTER for a null out argument.
struct IHostDocument : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{864B2DE1-3F7F-11D1-9981-00C0DF492697}");

  // The recorded data; the same object answers IComputedChannels and IChannelCalculations
  // (sdk/host/computed_channels.h). Never null.
  virtual HRESULT GetDocumentData(IDocumentData** data) = 0;
  // The chart data, where the document attaches its child objects for the enumerators it
  // runs (the same object ICalcInputs::GetChartData hands them). Never null.
  virtual HRESULT GetChartData(IChartData** chartData) = 0;
  // The chart view with the user's selection; S_FALSE and null while the document has none.
  virtual HRESULT GetChartView(IChartView** view) = 0;
  // The storage of the document's persisted items. Never null.
  virtual HRESULT GetStorage(IDocumentStorage** storage) = 0;
  // S_FALSE and null when the host runs without an analysis manager.
  virtual HRESULT GetAnalysisManager(IAnalysisManager** manager) = 0;
  // S_FALSE and null when the document cannot sample (no recording hardware); an extension
  // offers analysis while sampling only when there is one.
  virtual HRESULT GetSamplingManager(ISamplingManager** manager) = 0;
  // The identity that kMessageDocumentAttached carries (out).
  virtual HRESULT GetIdentity(std::int32_t* identity) = 0;
  // Sends a framework message to the host (in): kMessageOpenView, or one of the extension's
  // macro messages, which the host records while a macro is being recorded and delivers
  // back to the document's IMessageSink (replaying a macro delivers the same message).
  // E_INVALIDARG for a type the host does not know.
  virtual HRESULT SendMessage(const HostMessage* message) = 0;
  // Tells the host service `service` about something of type `type` (for instance that a
  // document in an earlier format was loaded). S_FALSE when the host has no such service.
  virtual HRESULT NotifyService(const GUID& service, std::uint32_t type) = 0;

 protected:
  ~IHostDocument() = default;
};

// Persisted objects that a document hands out by index have this kind.
inline constexpr std::int32_t kPersistedObjectKind = 2;

// The extension's document, as the host drives it. Implemented by the extension; the same
// object answers IMessageSink and ICommandTarget.
struct IExtensionDocument : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C37}");

  // The persisted object (out, AddRef'ed) of `index` and `kind`; null with S_FALSE for an
  // index or kind the document does not have. E_POINTER for a null `object`.
  virtual HRESULT GetPersistedObject(std::int32_t index, std::int32_t kind, IPersist** object) = 0;
  // Called once when the document's user interface is set up: the document adds its menus
  // through `menus` (in). E_POINTER for null.
  virtual HRESULT SetupUserInterface(IMenuService* menus) = 0;
  // Called after the host loaded the document's persisted objects from a file.
  virtual HRESULT OnLoaded() = 0;
  // The host closes the document: it lets go of the host's services (sampling sink,
  // analysis manager) and takes its own additions to the host document apart. The host
  // releases the document afterwards and calls nothing else on it.
  virtual HRESULT Close() = 0;

 protected:
  ~IExtensionDocument() = default;
};

// The class object of an extension's document class. Implemented by the extension and
// registered with the class-object registry (it answers IClassObjectInfo too). A document
// needs its host document from the start, so plain IClassFactory::CreateInstance answers
// E_NOTIMPL.
struct IDocumentClass : IClassFactory {
  using base_interface = IClassFactory;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C38}");

  // Creates the extension's document for `host` (in) and hands out its interface `iid`
  // (out). E_POINTER for a null `host` or `object`; E_NOINTERFACE when the document does not
  // offer `iid` (nothing is created then).
  virtual HRESULT CreateDocument(IHostDocument* host, const GUID& iid, void** object) = 0;

 protected:
  ~IDocumentClass() = default;
};
