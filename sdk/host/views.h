// SPDX-License-Identifier: MIT
// Views of a host document that an extension offers: the class objects the host creates
// them through, the view as the host drives it, and the host services a view draws with
// besides the plot controls (sdk/host/plot_control.h): an HTML page, the display
// preferences, and the report of a resized box. All calls come on the host's
// user-interface thread.
//
// Life of a view: when an extension asks for one (kMessageOpenView with the view type id,
// sdk/host/messages.h) and no view of that type is open for the document, the host finds
// the view class registered with that type id, calls CreateView, delivers the document's
// notifications and the Copy and Print commands to the view's IMessageSink until it closes
// the view, calls Close and releases it.
#pragma once

#include <cstdint>

#include "sdk/host/document_data.h"
#include "sdk/host/host_document.h"
#include "sdk/strings.h"
#include "sdk/unknown.h"

// Host category of view classes (IClassObjectInfo::GetCategory); their GetTypeId is the
// view type id that kMessageOpenView carries.
inline constexpr GUID kViewCategory = make_guid("{D6F52E80-B34D-11D3-80C7-005004AD3C53}");

// A view, as the host drives it. Implemented by the extension; the same object answers
// IMessageSink, which hears the data notifications of the host document
// (kDataNotificationFamily) and the commands kMessageCopy and kMessagePrint (no arguments).
struct IExtensionView : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0F6C2D7E-3B51-4A8E-9E0B-5C1D7A2F4E61}");

  // The view's title and the texts of its Copy and Print menu items (out, caller frees).
  virtual HRESULT GetTitle(BSTR* title) = 0;
  virtual HRESULT GetCopyMenuText(BSTR* text) = 0;
  virtual HRESULT GetPrintMenuText(BSTR* text) = 0;
  // The host closes the view: it lets go of its controls and the host's services. The host
  // releases it afterwards and calls nothing else on it.
  virtual HRESULT Close() = 0;

 protected:
  ~IExtensionView() = default;
};

// The class object of a view class. Implemented by the extension and registered with the
// class-object registry (it answers IClassObjectInfo too). A view needs its host document
// from the start, so plain IClassFactory::CreateInstance answers E_NOTIMPL.
struct IViewClass : IClassFactory {
  using base_interface = IClassFactory;
  static constexpr GUID iid = make_guid("{0F6C2D7E-3B51-4A8E-9E0B-5C1D7A2F4E62}");

  // Creates a view of the host document `host` (in) and hands out its interface `iid`
  // (out). E_POINTER for a null `host` or `view`; E_UNEXPECTED when the extension has no
  // document for `host`.
  virtual HRESULT CreateView(IHostDocument* host, const GUID& iid, void** view) = 0;

 protected:
  ~IViewClass() = default;
};

// Reported by a plot control when the user resized a box of a plotter. Implemented by the
// extension, on the object that receives the control's IPlotCallbacks; the control asks
// that object for this interface.
struct IPlotBoxCallbacks : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0F6C2D7E-3B51-4A8E-9E0B-5C1D7A2F4E63}");

  // The box `boxId` (in) now spans `values` (in, `count` numbers: x minimum, x maximum,
  // y minimum, y maximum, in the scales' units).
  virtual HRESULT OnBoxResized(const char16_t* boxId, const double* values, ULONG count) = 0;

 protected:
  ~IPlotBoxCallbacks() = default;
};

// A page of HTML that a view shows. Implemented by the host.
struct IHtmlView : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0F6C2D7E-3B51-4A8E-9E0B-5C1D7A2F4E64}");

  // Shows `html` (in), replacing what was shown.
  virtual HRESULT SetHtml(const char16_t* html) = 0;
  // Prints the page with the browser's own printing.
  virtual HRESULT Print() = 0;
  // The view is done with the page; further calls give E_UNEXPECTED.
  virtual HRESULT Close() = 0;

 protected:
  ~IHtmlView() = default;
};

// The host's HTML pages (IHostServices::GetService). Implemented by the host.
struct IHtmlViews : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0F6C2D7E-3B51-4A8E-9E0B-5C1D7A2F4E65}");

  virtual HRESULT CreateHtmlView(IHtmlView** view) = 0;

 protected:
  ~IHtmlViews() = default;
};

// The host's display preferences and formats (IHostServices::GetService). Implemented by
// the host. A view without this service draws its graticule in 0xC0C0C0 and writes
// positions as seconds.
struct IDisplayPreferences : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0F6C2D7E-3B51-4A8E-9E0B-5C1D7A2F4E66}");

  // The colour of plot graticules (out), 0x00RRGGBB.
  virtual HRESULT GetGraticuleColour(std::uint32_t* rgb) = 0;
  // `position` (in) of the document `data` (in) as text in the host's time format (out).
  virtual HRESULT FormatPosition(IDocumentData* data, TickPosition position, BSTR* text) = 0;

 protected:
  ~IDisplayPreferences() = default;
};
