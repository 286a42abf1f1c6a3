// SPDX-License-Identifier: MIT
// Chart data (objects that extensions attach to a document's data) and the chart view
// (the user's selection).
// Threads: every operation of both families is called on the host's user-interface thread,
// including the chart-data children when the host's calculations reach them.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"

// An object attached to a document's chart data. Implemented by the extension.
struct IChartDataChildData : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{D14754F8-65A9-4EF3-9D7B-1C7070A4FBE8}");

  virtual HRESULT GetTypeId(std::uint32_t* typeId) = 0;
  // A deep copy with reference count 1 through `copy` (out). The six host arguments are
  // the host's and may be ignored.
  virtual HRESULT Clone(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t a4, std::int32_t a5,
                        std::int32_t a6, IChartDataChildData** copy) = 0;
  // Notifications about changes of the host data; arguments as the host defines them.
  virtual HRESULT OnDataInserted(std::int32_t record, std::int32_t tick, std::int32_t count) = 0;
  virtual HRESULT OnDataRemoved(std::int32_t record, std::int32_t tick, std::int32_t count) = 0;
  virtual HRESULT OnRecordsChanged(std::int32_t firstRecord, std::int32_t lastRecord) = 0;

 protected:
  ~IChartDataChildData() = default;
};

// Implemented by the host.
struct IChartData : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C020}");

  // `child` (out) is null with S_FALSE when no child of that type is attached.
  virtual HRESULT GetChild(std::uint32_t typeId, IChartDataChildData** child) = 0;
  // Attaches `child` (in) under its type id, replacing any child of the same type.
  virtual HRESULT AddChild(IChartDataChildData* child) = 0;
  // S_FALSE when no child of that type was attached.
  virtual HRESULT RemoveChild(std::uint32_t typeId) = 0;

 protected:
  ~IChartData() = default;
};

// Selection kinds reported by the chart view.
inline constexpr std::uint32_t kSelectionQueryStart = 0x801E0000u;  // value a query starts from
inline constexpr std::uint32_t kSelectionNone = 0x801E0001u;        // no usable selection
inline constexpr std::uint32_t kSelectionPoint = 0x801E0002u;       // a marker position
inline constexpr std::uint32_t kSelectionRange = 0x801E0003u;       // a range of data

// The chart view of a document. Implemented by the host.
struct IChartView : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C021}");

  // The current selection: `kind` (in/out: the caller initialises it to
  // kSelectionQueryStart), start and end (out; fields 0x7FFFFFFF when there is none), the
  // channel it lies on and value limits (in/out).
  virtual HRESULT GetSelection(std::uint32_t* kind, TickPosition* start, TickPosition* end, ChannelId* channel,
                               double* lowValue, double* highValue) = 0;
  virtual HRESULT SetSelection(std::uint32_t kind, TickPosition start, TickPosition end, ChannelId channel,
                               double lowValue, double highValue) = 0;
  // Scrolls so that `position` is visible.
  virtual HRESULT ShowPosition(TickPosition position) = 0;

 protected:
  ~IChartView() = default;
};
