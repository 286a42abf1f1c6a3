// SPDX-License-Identifier: MIT
// What an extension reaches from a host document besides the document itself: the other
// extension documents of the same host document, and the host's application-wide services
// (clipboard, plot controls). The object that answers IHostDocument answers both
// interfaces. All calls come on the host's user-interface thread.
#pragma once

#include "sdk/unknown.h"

// Implemented by the host.
struct IExtensionDocuments : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3557D3F7-46DA-4AC7-89D2-786613D72754}");

  // The extension document (out, AddRef'ed) that the document class `classId` created for
  // this host document: a Tabulet function, a channel calculation or an export handler
  // finds its extension's analysis this way. Null with S_FALSE when there is none (the
  // extension registered no such class, or the document is closing). E_POINTER for a null
  // `document`.
  virtual HRESULT FindDocument(const GUID& classId, IUnknown** document) = 0;

 protected:
  ~IExtensionDocuments() = default;
};

// Implemented by the host.
struct IHostServices : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{F340835F-D5CB-424E-8803-52536A96131C}");

  // The host's service whose interface is `iid` (IClipboard, IPlotControls), as that
  // interface (out, AddRef'ed). The same object for every document. E_NOINTERFACE with null
  // when the host offers no such service; E_POINTER for a null `object`.
  virtual HRESULT GetService(const GUID& iid, void** object) = 0;

 protected:
  ~IHostServices() = default;
};
