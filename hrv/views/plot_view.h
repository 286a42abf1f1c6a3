// SPDX-License-Identifier: MIT
// The common part of the plot views: one plot control per view, filled from the document's
// results. A view never draws: it registers its series with the control under data ids,
// sends markup that names them, tells the engine when the numbers behind an id changed,
// and hears the user's gestures back. It follows the document's changes with one rebuild
// per AboutToChange/Changed pair, choosing what to redo by the change code, and while the
// host samples it sends at most one markup per MinMarkupInterval.
//
// PlotViewYT plots one series against its index or a regular grid; PlotViewXY plots the
// x/y pairs of a point list.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hrv/core/document.h"
#include "hrv/views/markup_clock.h"
#include "hrv/views/plot_data.h"
#include "hrv/views/plot_markup.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/plot_control.h"
#include "sdk/host/views.h"

namespace HRV {

// What Rebuild redoes.
enum UpdateFlag : std::uint32_t {
  UpdateRefreshData = 0x01,  // new enumerator; registered, or the plot's data cleared when empty
  UpdateRebuildData = 0x02,  // new enumerator, registered
  UpdateInitRanges = 0x04,   // store the computed ranges where the control has none
  UpdateResetRanges = 0x08,  // store every computed range that is set
  UpdateApplyRanges = 0x10,  // set every computed range that is set on its scale
  UpdateSendMarkup = 0x20,   // build and send the markup, through the throttle
  UpdateDataChanged = 0x40,  // tell the engine that the series changed
};

// Where a view's plot comes from. `display` may be null (no display preferences).
struct PlotHost {
  IPlotControls* plots = nullptr;
  IDisplayPreferences* display = nullptr;
  MarkupClock* clock = nullptr;
};

class PlotView : public DocumentObserver {
 public:
  virtual ~PlotView();
  PlotView(const PlotView&) = delete;
  PlotView& operator=(const PlotView&) = delete;

  // Creates the plot, starts observing the document and draws what it has: as a change of
  // code 0 while the host samples, else of code 6. Throws HResultError when the host
  // gives no plot control.
  void SetUp(const PlotHost& host);
  // Stops observing the document and closes the plot control. Idempotent.
  void Close();

  void AboutToChange(ChangeCode code) override;
  void Changed(ChangeCode code) override;
  // A data notification of the host document by its number; 8 resends the markup.
  void OnDataNotification(std::uint16_t number);
  void Copy();
  void Print();

  virtual std::string_view Title() const = 0;
  std::string CopyMenuText() const;
  std::string PrintMenuText() const;

  // The engine's callbacks; a view that has none ignores them.
  virtual void OnLinesDragged(std::string_view plotter, std::span<const double> positions);
  virtual void OnMouseClick(std::string_view plotter, std::u16string_view label);
  virtual void OnBoxResized(std::string_view box, std::span<const double> values);

  // Adds to `flags` what a change of `code` asks to redo.
  virtual void UpdateFlagsFor(ChangeCode code, std::uint32_t& flags);
  virtual void Rebuild(std::uint32_t flags) = 0;
  // Seconds between two markups while throttled.
  virtual double MinMarkupInterval() const { return 0.05; }
  virtual std::string_view PlotId() const = 0;
  // 2: data-changed commands start where the engine stopped reading; 1: from the start.
  virtual int DataMode() const = 0;

  bool up_to_date() const noexcept { return upToDate_; }
  bool throttle_on() const noexcept { return throttleOn_; }

 protected:
  explicit PlotView(Document& document);

  // Sends the markup unless the throttle drops it.
  void SendMarkup(const std::string& markup);
  void SendDataChanged();
  // Stores `computed` in the control: with `onlyWhereUnset`, each axis only where the
  // control holds none; otherwise each axis that is set.
  void StoreRanges(const PlotRanges& computed, bool onlyWhereUnset);
  void RegisterData(std::string_view dataId, IPlotData* data);
  PlotColours Colours() const;
  bool Sampling() const { return document_.host_sampling(); }
  // Shows the beat at (record, tick) in the host's chart, when it has a position and beat
  // markers are shown.
  void ShowBeat(std::int32_t record, std::int32_t tick);

  Document& document_;
  ComPtr<IPlotControl> control_;

 private:
  class Callbacks;

  ComPtr<Document> keepDocument_;  // the results the enumerators read live as long as the view
  ComPtr<Callbacks> callbacks_;
  IDisplayPreferences* display_ = nullptr;
  MarkupClock* clock_ = nullptr;
  std::uint64_t lastMarkupTime_ = 0;
  bool throttleOn_ = false;
  bool upToDate_ = false;
  bool observing_ = false;
};

// A series against its index or a regular grid.
class PlotViewYT : public PlotView {
 public:
  void Rebuild(std::uint32_t flags) override;

 protected:
  using PlotView::PlotView;

  virtual const std::vector<double>& Series() const = 0;
  virtual std::string_view DataId() const = 0;
  // Factor from the series' SI unit to the unit shown.
  virtual double DisplayScale() const = 0;
  virtual PlotRanges ComputeRanges(SeriesData& data) = 0;
  virtual std::string BuildMarkup(SeriesData& data) = 0;

  ComPtr<SeriesData> data_;
};

// The x/y pairs of a point list, both shown in their display units.
class PlotViewXY : public PlotView {
 public:
  void Rebuild(std::uint32_t flags) override;
  int DataMode() const override { return 2; }
  // A click names the point's record and tick: the view shows that beat.
  void OnMouseClick(std::string_view plotter, std::u16string_view label) override;

 protected:
  using PlotView::PlotView;

  virtual const std::vector<PlotPoint>& Points() const = 0;
  virtual std::string_view XDataId() const = 0;
  virtual std::string_view YDataId() const = 0;
  virtual double XDisplayScale() const = 0;
  virtual double YDisplayScale() const = 0;
  virtual PlotRanges ComputeRanges(PointXData& x, PointYData& y) = 0;
  virtual std::string BuildMarkup(PointXData& x, PointYData& y) = 0;

  ComPtr<PointXData> x_;
  ComPtr<PointYData> y_;
};

}  // namespace HRV
