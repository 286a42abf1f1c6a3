// SPDX-License-Identifier: MIT
// Plot controls: the host draws the plots of the extension's views. A view asks the host's
// plot service (IHostServices::GetService(IPlotControls::iid)) for a control, sends it
// script commands (which carry the plot markup), registers the data series that the
// markup names by id, binds plotters to them, and hears back about the user's gestures.
// The engine behind the control pulls the numbers itself, in blocks, when a markup or a
// data-changed command names them. Calls come on the host's user-interface thread.
#pragma once

#include <cstdint>

#include "sdk/strings.h"
#include "sdk/unknown.h"

// A series of numbers for a plot, read from a position that moves. Implemented by the
// extension; the series may grow between reads.
struct IPlotData : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{CE032665-76E3-46F0-BEE8-5DE089564667}");

  // Copies up to `count` values from the position into `values` (out) and moves past them;
  // `fetched` (out) the number copied. S_OK when `count` were copied, S_FALSE when fewer.
  virtual HRESULT Next(ULONG count, float* values, ULONG* fetched) = 0;
  // Moves the position by `count` (either way), clamped to [0, GetCount]; `moved` (out, may
  // be null) the distance moved. S_FALSE when it moved less than asked.
  virtual HRESULT Skip(std::int32_t count, std::int32_t* moved) = 0;
  virtual HRESULT GetPosition(std::int32_t* position) = 0;
  // An independent series over the same numbers at the same position (out).
  virtual HRESULT Clone(IPlotData** copy) = 0;
  virtual HRESULT GetCount(ULONG* count) = 0;
  // Smallest and largest value (out). S_FALSE and both untouched for an empty series.
  virtual HRESULT GetRange(double* min, double* max) = 0;
  // The data id the series is registered under (out).
  virtual HRESULT GetId(BSTR* id) = 0;
  // What a click on value `index` shows (out): for a series of numbers the index, a tab and
  // the value; for a point list the point's record, a tab and its tick. S_FALSE and null
  // past the end.
  virtual HRESULT GetLabel(ULONG index, BSTR* label) = 0;

 protected:
  ~IPlotData() = default;
};

// What a plot control reports to its view. Implemented by the extension.
struct IPlotCallbacks : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{B6DC1255-023C-426E-8587-342F47F56A73}");

  // The user dragged the vertical lines of plotter `plotterId` (in) to `positions` (in,
  // `count` values in the x scale's units).
  virtual HRESULT OnLinesDragged(const char16_t* plotterId, const double* positions, ULONG count) = 0;
  // The user clicked a point of plotter `plotterId` (in); `label` (in) is the point's
  // label as its data series gives it, empty when it gives none.
  virtual HRESULT OnMouseClick(const char16_t* plotterId, const char16_t* label) = 0;

 protected:
  ~IPlotCallbacks() = default;
};

// One plot. Implemented by the host.
struct IPlotControl : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3548309C-8FE2-479E-8619-6DE9E4794E3C}");

  // Runs a script command (in) of the plot engine in the control's page, for instance
  // "etch.get_plot('id').set_markup('...');". E_INVALIDARG for text that is not a call on
  // the engine ("etch." followed by a call with balanced quotes and parentheses).
  virtual HRESULT RunScript(const char16_t* command) = 0;
  // Makes `data` (in) the source of every markup reference to `dataId` (in); null removes
  // the source.
  virtual HRESULT RegisterData(const char16_t* dataId, IPlotData* data) = 0;
  // Associates plotter `plotterId` with the sources of `yDataId` and `xDataId` ("" for a
  // plot against the index or a regular grid); `flag` is 1 for x/y pairs, else 0.
  virtual HRESULT BindPlotter(const char16_t* yDataId, const char16_t* xDataId, const char16_t* plotterId,
                              std::int32_t flag) = 0;
  // Drops every data source and binding.
  virtual HRESULT ClearData() = 0;
  // The range the control keeps for scale `axis` (0 x, 1 y); (0, 0) when unset.
  // E_INVALIDARG for another axis.
  virtual HRESULT SetRange(std::int32_t axis, double min, double max) = 0;
  virtual HRESULT GetRange(std::int32_t axis, double* min, double* max) = 0;
  // Copies the rendered plot to the clipboard; prints it with `title` (in).
  virtual HRESULT Copy() = 0;
  virtual HRESULT Print(const char16_t* title) = 0;
  // The view is done with the control: it lets go of the callbacks and the data sources
  // and refuses further calls (E_UNEXPECTED). A view calls it before it goes, which
  // breaks the reference cycle between them.
  virtual HRESULT Close() = 0;

 protected:
  ~IPlotControl() = default;
};

// The host's plot service. Implemented by the host.
struct IPlotControls : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{C11B4BED-3D64-4134-B521-32F7953F57DF}");

  // A new control (out) showing the plot `plotId` (in), with its callbacks going to
  // `callbacks` (in, kept until Close). The control creates the plot in its page:
  // "etch.make_plot('<plotId>').dblclick_ms(<double-click time>);". E_POINTER for nulls,
  // E_INVALIDARG for an empty id or one with a quote.
  virtual HRESULT CreatePlot(const char16_t* plotId, IPlotCallbacks* callbacks, IPlotControl** control) = 0;

 protected:
  ~IPlotControls() = default;
};
