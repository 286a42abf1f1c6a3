// SPDX-License-Identifier: MIT
#include "hrv/views/plot_view.h"

#include <charconv>

#include "hrv/resources/string_table.h"
#include "hrv/views/markup_text.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::uint32_t kCopyPrefixText = 193;
constexpr std::uint32_t kPrintPrefixText = 194;
// Resending the markup is all this data notification asks of a plot.
constexpr std::uint16_t kResendMarkupNotification = 8;
// Without the host's preference the graticule is a light grey.
constexpr std::uint32_t kDefaultGraticule = 0xC0C0C0;
constexpr std::int64_t kAfterWhatWasRead = 2147483647;

std::u16string wide(std::string_view text) { return utf8_to_utf16(text); }

// Reads a decimal integer at the start of `text`; false when there is none.
bool leading_int(std::u16string_view text, std::int32_t& value) {
  const std::string narrow = utf16_to_utf8(text);
  const auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
  return ec == std::errc() && end != narrow.data();
}

}  // namespace

// Forwards the control's callbacks to the view until it closes. The control holds this
// object, not the view, so that the view can go first.
class PlotView::Callbacks final : public ComObject<IPlotCallbacks, IPlotBoxCallbacks> {
 public:
  explicit Callbacks(PlotView* view) : view_(view) {}
  void detach() noexcept { view_ = nullptr; }

  HRESULT OnLinesDragged(const char16_t* plotterId, const double* positions, ULONG count) override {
    if (!plotterId || (!positions && count > 0)) return E_POINTER;
    return guard([&] {
      if (view_) view_->OnLinesDragged(utf16_to_utf8(plotterId), {positions, count});
      return S_OK;
    });
  }
  HRESULT OnMouseClick(const char16_t* plotterId, const char16_t* label) override {
    if (!plotterId) return E_POINTER;
    return guard([&] {
      if (view_) view_->OnMouseClick(utf16_to_utf8(plotterId), label ? std::u16string_view(label) : std::u16string_view());
      return S_OK;
    });
  }
  HRESULT OnBoxResized(const char16_t* boxId, const double* values, ULONG count) override {
    if (!boxId || (!values && count > 0)) return E_POINTER;
    return guard([&] {
      if (view_) view_->OnBoxResized(utf16_to_utf8(boxId), {values, count});
      return S_OK;
    });
  }

 private:
  PlotView* view_;
};

PlotView::PlotView(Document& document) : document_(document), keepDocument_(ComPtr<Document>::retain(&document)) {}

PlotView::~PlotView() { Close(); }

void PlotView::SetUp(const PlotHost& host) {
  if (!host.plots || !host.clock) throw_hresult(E_POINTER, "a plot view needs the host's plot controls and a clock");
  display_ = host.display;
  clock_ = host.clock;
  callbacks_ = make_com<Callbacks>(this);
  check_hresult(host.plots->CreatePlot(wide(PlotId()).c_str(), callbacks_.get(), control_.put()),
                "the host made no plot control");
  if (!control_) throw_hresult(E_UNEXPECTED, "the host made no plot control");
  document_.add_observer(this);
  observing_ = true;
  if (!upToDate_) {
    std::uint32_t flags = 0;
    UpdateFlagsFor(Sampling() ? ChangeCode::OnlineRestart : ChangeCode::BeatEdit, flags);
    Rebuild(flags);
  }
  upToDate_ = true;
}

void PlotView::Close() {
  if (observing_) document_.remove_observer(this);
  observing_ = false;
  if (callbacks_) callbacks_->detach();
  if (control_) control_->Close();
  control_.reset();
  callbacks_.reset();
}

void PlotView::AboutToChange(ChangeCode) { upToDate_ = false; }

void PlotView::Changed(ChangeCode code) {
  // One rebuild per AboutToChange, however many Changed follow it.
  if (upToDate_ || !control_) return;
  std::uint32_t flags = 0;
  UpdateFlagsFor(code, flags);
  Rebuild(flags);
  upToDate_ = true;
}

void PlotView::OnDataNotification(std::uint16_t number) {
  if (number == kResendMarkupNotification && control_) Rebuild(UpdateSendMarkup);
}

void PlotView::Copy() {
  if (control_) check_hresult(control_->Copy(), "the plot control did not copy");
}

void PlotView::Print() {
  if (control_) check_hresult(control_->Print(wide(Title()).c_str()), "the plot control did not print");
}

std::string PlotView::CopyMenuText() const { return std::string(LoadString(kCopyPrefixText)).append(Title()); }
std::string PlotView::PrintMenuText() const { return std::string(LoadString(kPrintPrefixText)).append(Title()); }

void PlotView::OnLinesDragged(std::string_view, std::span<const double>) {}
void PlotView::OnMouseClick(std::string_view, std::u16string_view) {}
void PlotView::OnBoxResized(std::string_view, std::span<const double>) {}

void PlotView::UpdateFlagsFor(ChangeCode code, std::uint32_t& flags) {
  switch (code) {
    case ChangeCode::OnlineRestart:
      flags |= UpdateRebuildData | UpdateInitRanges | UpdateSendMarkup;
      // The first markup of a sampling run always goes out.
      lastMarkupTime_ = 0;
      throttleOn_ = true;
      break;
    case ChangeCode::OnlineData: flags |= UpdateDataChanged; break;
    case ChangeCode::OnlineEnded:
      flags |= UpdateDataChanged;
      throttleOn_ = false;
      break;
    case ChangeCode::SamplingStopped: flags |= UpdateApplyRanges | UpdateSendMarkup; break;
    case ChangeCode::Analysis: flags |= UpdateRefreshData | UpdateApplyRanges | UpdateSendMarkup; break;
    case ChangeCode::Cleared: flags |= UpdateRefreshData | UpdateSendMarkup; break;
    case ChangeCode::BeatEdit: flags |= UpdateRefreshData | UpdateInitRanges | UpdateSendMarkup; break;
  }
}

void PlotView::SendMarkup(const std::string& markup) {
  if (throttleOn_) {
    const std::uint64_t now = clock_->now();
    const double elapsed = static_cast<double>(now - lastMarkupTime_) / static_cast<double>(clock_->frequency());
    // Dropped, not queued: the next update offers a fresh one.
    if (elapsed < MinMarkupInterval()) return;
    lastMarkupTime_ = now;
  }
  check_hresult(control_->RunScript(wide(set_markup_command(PlotId(), markup)).c_str()), "the plot refused its markup");
}

void PlotView::SendDataChanged() {
  const std::int64_t start = DataMode() == 2 ? kAfterWhatWasRead : 0;
  check_hresult(control_->RunScript(wide(data_changed_command(PlotId(), PlotId(), start)).c_str()),
                "the plot refused a data-changed command");
}

void PlotView::StoreRanges(const PlotRanges& computed, bool onlyWhereUnset) {
  const AxisRange axes[2] = {computed.x, computed.y};
  for (std::int32_t axis = 0; axis < 2; ++axis) {
    if (axes[axis].unset()) continue;
    if (onlyWhereUnset) {
      AxisRange stored;
      if (control_->GetRange(axis, &stored.min, &stored.max) == S_OK && !stored.unset()) continue;
    }
    check_hresult(control_->SetRange(axis, axes[axis].min, axes[axis].max), "the plot refused a range");
  }
}

void PlotView::RegisterData(std::string_view dataId, IPlotData* data) {
  check_hresult(control_->RegisterData(wide(dataId).c_str(), data), "the plot refused a data source");
}

PlotColours PlotView::Colours() const {
  PlotColours colours{0, kDefaultGraticule};
  const Settings& s = document_.settings();
  if (IDocumentData* data = document_.document_data())
    data->GetChannelColour(ChannelId{s.SourceChannel, s.SourceKind}.for_data(), &colours.trace);
  if (display_) display_->GetGraticuleColour(&colours.graticule);
  return colours;
}

void PlotView::ShowBeat(std::int32_t record, std::int32_t tick) {
  if (tick == TickPosition::kUnset || record == TickPosition::kUnset || !document_.settings().ShowMarkers) return;
  ComPtr<IChartView> chart;
  if (document_.host()->GetChartView(chart.put()) == S_OK && chart) chart->ShowPosition({tick, record});
}

void PlotViewYT::Rebuild(std::uint32_t flags) {
  if (flags & (UpdateRebuildData | UpdateRefreshData)) {
    data_ = make_com<SeriesData>(wide(DataId()), &Series(), DisplayScale());
    if ((flags & UpdateRebuildData) || data_->size() > 0) {
      RegisterData(DataId(), data_.get());
      check_hresult(control_->BindPlotter(wide(DataId()).c_str(), u"", wide(PlotId()).c_str(), 0),
                    "the plot refused a plotter");
    } else {
      check_hresult(control_->ClearData(), "the plot did not clear its data");
    }
  }
  if (flags & UpdateDataChanged) SendDataChanged();
  if (!data_) return;
  if (flags & UpdateInitRanges) StoreRanges(ComputeRanges(*data_), true);
  if (flags & (UpdateResetRanges | UpdateApplyRanges)) StoreRanges(ComputeRanges(*data_), false);
  if (flags & UpdateSendMarkup) SendMarkup(BuildMarkup(*data_));
}

void PlotViewXY::Rebuild(std::uint32_t flags) {
  if (flags & (UpdateRebuildData | UpdateRefreshData)) {
    x_ = make_com<PointXData>(wide(XDataId()), &Points(), XDisplayScale());
    y_ = make_com<PointYData>(wide(YDataId()), &Points(), YDisplayScale());
    if ((flags & UpdateRebuildData) || x_->size() > 0) {
      RegisterData(XDataId(), x_.get());
      RegisterData(YDataId(), y_.get());
      check_hresult(control_->BindPlotter(wide(YDataId()).c_str(), wide(XDataId()).c_str(), wide(PlotId()).c_str(), 1),
                    "the plot refused a plotter");
    } else {
      check_hresult(control_->ClearData(), "the plot did not clear its data");
    }
  }
  if (flags & UpdateDataChanged) SendDataChanged();
  if (!x_ || !y_) return;
  if (flags & UpdateInitRanges) StoreRanges(ComputeRanges(*x_, *y_), true);
  if (flags & (UpdateResetRanges | UpdateApplyRanges)) StoreRanges(ComputeRanges(*x_, *y_), false);
  if (flags & UpdateSendMarkup) SendMarkup(BuildMarkup(*x_, *y_));
}

void PlotViewXY::OnMouseClick(std::string_view, std::u16string_view label) {
  // The label is the point's record, a tab and its tick; both stay unset without one.
  std::int32_t record = TickPosition::kUnset, tick = TickPosition::kUnset;
  const std::size_t tab = label.find(u'\t');
  if (tab == std::u16string_view::npos || !leading_int(label.substr(0, tab), record) ||
      !leading_int(label.substr(tab + 1), tick))
    return;
  ShowBeat(record, tick);
}

}  // namespace HRV
