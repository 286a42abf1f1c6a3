// SPDX-License-Identifier: MIT
// The probe document and its class. It reaches the host only through the site it was
// created with and the application it was registered with.
#include "tests/probe/probe_document.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/calc_enumerator.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/channel_calc.h"
#include "sdk/host/clipboard.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"
#include "sdk/host/plot_control.h"
#include "tests/probe/probe_items.h"
#include "tests/probe/probe_module.h"
#include "tests/probe/probe_plot.h"

namespace probe {
namespace {

std::uint32_t command(std::uint16_t local) { return (std::uint32_t{module_id()} << 16) | local; }
std::uint16_t local_of(std::uint32_t id) { return static_cast<std::uint16_t>(id & 0xFFFF); }
std::string pos(TickPosition p) { return std::to_string(p.record) + ":" + std::to_string(p.tick); }

std::uint16_t family_module(const GUID& family) {
  std::uint16_t id = 0;
  if (IApplication* app = application()) app->GetModuleId(family, &id);
  return id;
}

class Document final
    : public ComObject<IExtensionDocument, IMessageSink, ICommandTarget, IOnlineDataSink, IAnalysisClient, IProbeDocument> {
 public:
  explicit Document(ComPtr<IHostDocument> host) : host_(std::move(host)) {
    check_hresult(host_->GetDocumentData(data_.put()));
  }

  // ---- IExtensionDocument
  HRESULT GetPersistedObject(std::int32_t index, std::int32_t kind, IPersist** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (kind != kPersistedObjectKind || index < 0 || index > 1) return S_FALSE;
    *object = index == 0 ? static_cast<IPersist*>(note_.get()) : static_cast<IPersist*>(counter_.get());
    (*object)->AddRef();
    return S_OK;
  }
  HRESULT SetupUserInterface(IMenuService* menus) override {
    if (!menus) return E_POINTER;
    return guard([&] {
      log("menus");
      auto strings = make_strings();
      check_hresult(menus->AddMenu(u"Probe", u"Probe"));
      const MenuItem items[] = {
          {0, u"Probe^EXTENSION|", 10, nullptr, 0, 0},
          {command(kCommandCount), u"Probe|Count", 1, nullptr, 0, 0},
          {0, u"Probe|-", 0, nullptr, 0, 0},
          {0, u"Probe|Sub|", 0, nullptr, 0, 0},
          {command(kCommandToggle), u"Probe|Sub|Toggle", 4, nullptr, 0, 0},
          {command(kCommandReport), u"Probe|Sub|Report", 7, u"analyse", 1004, 10},
          {0, u"Probe|-", 0, nullptr, 0, 0},
          {command(kCommandViews), u"Probe|Views|", 11, u"windows_graphsmenu", 1005, 522},
          {command(kCommandOpenView), u"Probe|Open", 14, nullptr, 0, 0},
      };
      for (const MenuItem& item : items) check_hresult(menus->AddMenuItem(&item, strings.get()));
      return S_OK;
    });
  }
  HRESULT OnLoaded() override {
    log("loaded note=" + note_->text() + " count=" + std::to_string(counter_->value()));
    return S_OK;
  }
  HRESULT Close() override {
    log("close");
    if (ComPtr<ISamplingManager> sampling; host_->GetSamplingManager(sampling.put()) == S_OK) sampling->RemoveSink(this);
    if (manager_) manager_->UnregisterClient(cookie_);
    manager_.reset();
    reader_.reset();
    ClosePlot();
    return S_OK;
  }

  // ---- IMessageSink
  HRESULT OnMessage(const HostMessage* message) override {
    if (!message) return E_POINTER;
    return guard([&] {
      const HostMessage& m = *message;
      if (m.type == kMessageDocumentAttached) return attached(m);
      if (m.type == 0x80000001u) {
        log("follow-up");
        return S_OK;
      }
      if (m.type == command(kCountMessage)) {
        log("message count");
        counter_->increment();
        return S_OK;
      }
      const std::uint16_t family = static_cast<std::uint16_t>(m.type >> 16);
      const std::string number = std::to_string(local_of(m.type));
      if (family == family_module(kDataNotificationFamily)) {
        log("data " + number + " " + std::to_string(m.args[0]) + " " + std::to_string(m.args[1]) + " " +
            std::to_string(m.args[2]) + " " + std::to_string(m.args[3]) + (m.object ? " object" : ""));
        if (local_of(m.type) == kChannelCalculationChanged) follow_calculation(m.args[0], m.object);
        return S_OK;
      }
      if (family == family_module(kFrameworkNotificationFamily)) {
        log("framework " + number);
        return S_FALSE;  // the host's framework handles these
      }
      log("unknown " + std::to_string(m.type));
      return S_FALSE;
    });
  }

  // ---- ICommandTarget
  HRESULT Execute(std::uint32_t id) override {
    if (static_cast<std::uint16_t>(id >> 16) != module_id()) return S_FALSE;
    return guard([&] {
      log("execute " + std::to_string(local_of(id)));
      switch (local_of(id)) {
        case kCommandCount: {
          const HostMessage m{command(kCountMessage), {}, nullptr};
          return host_->SendMessage(&m);
        }
        case kCommandToggle: toggled_ = !toggled_; return S_OK;
        case kCommandReport: return S_OK;
        case kCommandOpenView: {
          const HostMessage m{kMessageOpenView, {0, 4, static_cast<std::int32_t>(command(1)), 0}, nullptr};
          return host_->SendMessage(&m);
        }
        default: return S_FALSE;
      }
    });
  }
  HRESULT Update(std::uint32_t id, ICommandUpdate* update) override {
    if (!update) return E_POINTER;
    if (static_cast<std::uint16_t>(id >> 16) != module_id()) return S_FALSE;
    return guard([&] {
      switch (local_of(id)) {
        case kCommandCount: {
          std::uint32_t kind = kSelectionNone;
          TickPosition s, e;
          ReadSelection(&kind, &s, &e);
          return update->SetEnabled(to_variant_bool(kind == kSelectionRange));
        }
        case kCommandToggle: return update->SetCheck(toggled_ ? 1 : 0, 1);
        case kCommandReport: return update->SetText(utf8_to_utf16("Report " + std::to_string(counter_->value())).c_str());
        default: return S_FALSE;
      }
    });
  }
  HRESULT BuildPopup(std::uint32_t id, INativeMenu* menu) override {
    if (!menu) return E_POINTER;
    if (id != command(kCommandViews)) return S_FALSE;
    menu->RemoveAll();
    menu->Append(41, u"First View");
    menu->Append(42, u"Second View");
    return S_OK;
  }
  HRESULT DispatchPopup(std::uint32_t id, std::uint32_t item) override {
    if (id != command(kCommandViews)) return S_FALSE;
    if (item != 41 && item != 42) return E_FAIL;
    log("popup " + std::to_string(item));
    return S_OK;
  }

  // ---- IOnlineDataSink
  HRESULT CanStartSampling(std::int32_t argument, VARIANT_BOOL* allowed) override {
    if (!allowed) return E_POINTER;
    log("can-start " + std::to_string(argument) + (allow_ ? " yes" : " no"));
    *allowed = to_variant_bool(allow_);
    return allow_ ? S_OK : S_FALSE;
  }
  HRESULT SamplingStarting(std::int32_t argument) override {
    log("starting " + std::to_string(argument) + " sampling=" + (sampling() ? "1" : "0"));
    return S_OK;
  }
  HRESULT SamplingStateChanged(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               VARIANT_BOOL state) override {
    return guard([&] {
      log(std::string("state ") + (state ? "1" : "0") + " sampling=" + (sampling() ? "1" : "0"));
      if (state && !channel_.empty()) open_reader();
      return S_OK;
    });
  }
  HRESULT OnlineData(std::int32_t argument) override {
    return guard([&] {
      log("data " + std::to_string(argument) + " length=" + std::to_string(sampled_length()) + " events=" + std::to_string(read_events()));
      return S_OK;
    });
  }
  HRESULT SamplingEnding(std::int32_t, std::int32_t) override {
    return guard([&] {
      log("ending sampling=" + std::string(sampling() ? "1" : "0") + " events=" + std::to_string(read_events()));
      return S_OK;
    });
  }
  HRESULT SamplingStopped(std::int32_t argument) override {
    return guard([&] {
      TickPosition end;
      data_->GetEndOfData(&end);
      log("stopped " + std::to_string(argument) + " end=" + pos(end));
      reader_.reset();
      return S_OK;
    });
  }
  HRESULT OnSamplingEvent(std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnTriggerArmed() override { return E_NOTIMPL; }
  HRESULT OnTriggerDisarmed() override { return E_NOTIMPL; }
  HRESULT OnDisplayRefresh(std::int32_t) override { return S_OK; }
  HRESULT GetRefreshInterval(std::int32_t* milliseconds) override {
    if (!milliseconds) return E_POINTER;
    *milliseconds = 200;
    return S_OK;
  }
  HRESULT GetBufferRequest(std::int32_t, std::int32_t, std::int32_t, std::int32_t* request) override {
    if (!request) return E_POINTER;
    *request = 0;
    return S_OK;
  }

  // ---- IAnalysisClient
  HRESULT ReportRegion(std::int32_t argument) override {
    log("report-region");
    if (manager_ && start_.is_set()) return manager_->ReportRegion(cookie_, start_, end_, argument);
    return S_OK;
  }
  HRESULT RequestClear(std::int32_t argument) override {
    const bool affected = is_affected(argument);
    log(std::string("clear ") + (affected ? "affected" : "not-affected"));
    if (affected) start_ = end_ = TickPosition::unset();
    return S_OK;
  }
  HRESULT RequestReanalysis(std::int32_t argument) override {
    const bool affected = is_affected(argument);
    log(std::string("reanalyse ") + (affected ? "affected" : "not-affected"));
    if (affected) counter_->increment();
    return S_OK;
  }

  // ---- IProbeDocument
  HRESULT TakeJournal(BSTR* journal) override {
    if (!journal) return E_POINTER;
    std::string all;
    for (const std::string& line : *journal_) all += line + "\n";
    journal_->clear();
    *journal = Bstr(all).detach();
    return S_OK;
  }
  HRESULT SetNote(const char16_t* text) override {
    if (!text) return E_POINTER;
    note_->set(utf16_to_utf8(text));
    return S_OK;
  }
  HRESULT GetNote(BSTR* text) override {
    if (!text) return E_POINTER;
    *text = Bstr(note_->text()).detach();
    return S_OK;
  }
  HRESULT GetCount(std::int32_t* count) override {
    if (!count) return E_POINTER;
    *count = counter_->value();
    return S_OK;
  }
  HRESULT ReadSelection(std::uint32_t* kind, TickPosition* start, TickPosition* end) override {
    if (!kind || !start || !end) return E_POINTER;
    ComPtr<IChartView> view;
    if (host_->GetChartView(view.put()) != S_OK) return E_FAIL;
    ChannelId channel;
    double low = -1e300, high = 1e300;
    *kind = kSelectionQueryStart;
    return view->GetSelection(kind, start, end, &channel, &low, &high);
  }
  HRESULT Select(TickPosition start, TickPosition end) override {
    ComPtr<IChartView> view;
    if (host_->GetChartView(view.put()) != S_OK) return E_FAIL;
    if (HRESULT hr = view->SetSelection(kSelectionRange, start, end, ChannelId{0, ChannelId::kDefaultKind}, -1.0, 1.0); FAILED(hr))
      return hr;
    return view->ShowPosition(start);
  }
  HRESULT Analyse() override {
    return guard([&] {
      std::uint32_t kind = kSelectionNone;
      check_hresult(ReadSelection(&kind, &start_, &end_));
      if (kind != kSelectionRange) start_ = end_ = TickPosition::unset();
      if (manager_) check_hresult(manager_->MarkChanged(cookie_));
      ComPtr<IDocumentStorage> storage;
      check_hresult(host_->GetStorage(storage.put()));
      check_hresult(storage->SetPersistedItem(0, note_.get(), to_variant_bool(note_->loaded())));
      check_hresult(storage->SetPersistedItem(1, counter_.get(), to_variant_bool(counter_->loaded())));
      return S_OK;
    });
  }
  HRESULT GetRegion(TickPosition* start, TickPosition* end) override {
    if (!start || !end) return E_POINTER;
    *start = start_;
    *end = end_;
    return S_OK;
  }
  HRESULT ConfigureSampling(VARIANT_BOOL allow, const char16_t* eventChannel) override {
    allow_ = allow != VARIANT_FALSE;
    channel_ = eventChannel ? utf16_to_utf8(eventChannel) : std::string();
    return S_OK;
  }
  HRESULT GetEventsSeen(std::uint32_t* count) override {
    if (!count) return E_POINTER;
    *count = events_;
    return S_OK;
  }
  HRESULT OpenPlot(const char16_t* plotId, const char16_t* markup) override {
    if (!plotId || !markup) return E_POINTER;
    return guard([&] {
      ComPtr<IHostServices> services;
      check_hresult(host_->QueryInterface(IHostServices::iid, services.put_void()));
      ComPtr<IPlotControls> plots;
      check_hresult(services->GetService(IPlotControls::iid, plots.put_void()));
      ClosePlot();
      plot_id_ = plotId;
      check_hresult(plots->CreatePlot(plotId, make_plot_callbacks(journal_).get(), plot_.put()));
      check_hresult(plot_->RegisterData(kPlotDataId, make_series(plot_values_, kPlotDataId).get()));
      check_hresult(plot_->BindPlotter(kPlotDataId, u"", plotId, 0));
      return plot_->RunScript((u"etch.get_plot('" + plot_id_ + u"').set_markup('" + escape_markup(markup) + u"');").c_str());
    });
  }
  HRESULT AppendPlotValues(const double* values, std::uint32_t count) override {
    if (!values && count > 0) return E_POINTER;
    if (!plot_) return E_UNEXPECTED;
    return guard([&] {
      plot_values_->insert(plot_values_->end(), values, values + count);
      return plot_->RunScript((u"etch.get_plot('" + plot_id_ + u"').plotter_data_changed('" + plot_id_ + u"', 2147483647, 2147483647);").c_str());
    });
  }
  HRESULT CopyPlot() override { return plot_ ? plot_->Copy() : E_UNEXPECTED; }
  HRESULT ClosePlot() override {
    if (!plot_) return S_FALSE;
    plot_->Close();
    plot_.reset();
    return S_OK;
  }
  HRESULT CopyNote() override {
    return guard([&] {
      ComPtr<IHostServices> services;
      check_hresult(host_->QueryInterface(IHostServices::iid, services.put_void()));
      ComPtr<IClipboard> clipboard;
      check_hresult(services->GetService(IClipboard::iid, clipboard.put_void()));
      const std::u16string text = utf8_to_utf16(note_->text());
      const std::string html = "<p>" + note_->text() + "</p>";
      check_hresult(clipboard->Empty());
      check_hresult(clipboard->SetData(kClipboardUnicodeText, text.c_str(), static_cast<ULONG>((text.size() + 1) * sizeof(char16_t))));
      return clipboard->SetData(kClipboardHtml, html.c_str(), static_cast<ULONG>(html.size() + 1));
    });
  }

  HRESULT Ask(const char16_t* text, std::int32_t* answer) override {
    if (!text || !answer) return E_POINTER;
    IApplication* app = application();
    if (!app) return E_UNEXPECTED;
    return app->MessageBox(text, u"Probe", 0x2031, 0, answer);
  }

 private:
  void log(std::string line) { journal_->push_back(std::move(line)); }

  HRESULT attached(const HostMessage& m) {
    std::int32_t identity = 0;
    check_hresult(host_->GetIdentity(&identity));
    if (m.args[0] != identity || m.args[1] != identity) {
      log("attached to another document");
      return S_FALSE;
    }
    log("attached");
    if (ComPtr<IAnalysisManager> manager; host_->GetAnalysisManager(manager.put()) == S_OK) {
      check_hresult(manager->RegisterClient(u"Probe", u"Probe analysis", static_cast<IAnalysisClient*>(this), &cookie_));
      check_hresult(manager->SetPersistedItem(cookie_, 0, note_.get(), to_variant_bool(note_->loaded())));
      check_hresult(manager->SetPersistedItem(cookie_, 1, counter_.get(), to_variant_bool(counter_->loaded())));
      manager_ = std::move(manager);
    }
    if (ComPtr<ISamplingManager> sampling; host_->GetSamplingManager(sampling.put()) == S_OK)
      check_hresult(sampling->AddSink(this));
    return S_OK;
  }

  // A channel whose calculation is the probe's "Probe Scaled" shows guide lines at plus
  // and minus its factor when its settings ask for them; a channel that lost it, none.
  void follow_calculation(std::int32_t channel, IUnknown* calculation) {
    ComPtr<IChannelCalculation> scaled;
    ComPtr<IPersistStreamInit> settings;
    GUID cls{};
    if (calculation && SUCCEEDED(calculation->QueryInterface(IChannelCalculation::iid, scaled.put_void())) &&
        SUCCEEDED(scaled->GetSettings(settings.put())) && SUCCEEDED(settings->GetClassID(&cls)) && cls == kScaledSettingsClassId) {
      const auto* values = dynamic_cast<const ScaledSettings*>(settings.get());
      guided_.insert(channel);
      show_guides(channel, values->guide_lines(), values->factor());
    } else if (guided_.erase(channel)) {
      show_guides(channel, false, 0);
    }
  }

  void show_guides(std::int32_t channel, bool on, std::int32_t factor) {
    ComPtr<IChartMessageTarget> chart;
    check_hresult(host_->QueryInterface(IChartMessageTarget::iid, chart.put_void()));
    const auto c = static_cast<std::uint32_t>(channel);
    constexpr std::uint32_t kGrey = 0x898989, kPink = 0xFEC2C2;
    for (std::uint32_t line = 1; line <= 2; ++line) {
      if (on) {
        const double value = line == 1 ? factor : -factor;
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        const std::uint32_t where[] = {c, line, static_cast<std::uint32_t>(bits), static_cast<std::uint32_t>(bits >> 32)};
        const ChartMessage m{kChartGuideValue, 4, where, u"mV"};
        check_hresult(chart->SendChartMessage(&m));
      }
      const std::uint32_t shown[] = {0, 0x21122, c, line, on ? 1u : 0u, on ? 1u : 0u, kGrey};
      const ChartMessage m{kChartGuideLine, 7, shown, nullptr};
      check_hresult(chart->SendChartMessage(&m));
    }
    const std::uint32_t band_on[] = {0, 0x2121212, c, 1, kPink, 0, 0, 1, kPink};
    const std::uint32_t band_off[] = {0, 0x2121212, c, 0, 0, 0, 0, 0, 0};
    const ChartMessage band{kChartGuideBand, 9, on ? band_on : band_off, nullptr};
    check_hresult(chart->SendChartMessage(&band));
    log("guides " + std::to_string(channel) + (on ? " on" : " off"));
  }

  bool is_affected(std::int32_t argument) {
    VARIANT_BOOL affected = VARIANT_FALSE;
    return manager_ && manager_->IsAffected(cookie_, argument, &affected) == S_OK && affected != VARIANT_FALSE;
  }

  bool sampling() {
    VARIANT_BOOL s = VARIANT_FALSE;
    return data_->IsSampling(&s) == S_OK && s != VARIANT_FALSE;
  }

  std::int32_t sampled_length() {
    std::int32_t record = 0, length = -1;
    TickPosition start;
    data_->GetSamplingStart(&record, &start);
    data_->GetRecordLength(record, &length);
    return length;
  }

  void open_reader() {
    auto channels = data_.query<IComputedChannels>();
    ChannelId id;
    if (!channels || channels->FindChannel(utf8_to_utf16(channel_).c_str(), &id) != S_OK) throw_hresult(E_INVALIDARG, "no such channel");
    std::int32_t record = 0;
    TickPosition start;
    check_hresult(data_->GetSamplingStart(&record, &start));
    reader_.reset();
    check_hresult(data_->OpenEventReader(id, TickPosition{0, record}, TickPosition::open_end(), reader_.put()));
  }

  // Reads whatever the reader has now; the total so far.
  std::uint32_t read_events() {
    if (!reader_) return events_;
    ULONG size = 0;
    check_hresult(reader_->GetEventSize(&size));
    std::vector<std::byte> buffer(std::size_t{size} * 16);
    for (ULONG got = 0; reader_->Read(buffer.data(), 16, nullptr, &got) == S_OK;) events_ += got;
    return events_;
  }

  ComPtr<IHostDocument> host_;
  ComPtr<IDocumentData> data_;
  ComPtr<Note> note_ = make_com<Note>();
  ComPtr<Counter> counter_ = make_com<Counter>();
  ComPtr<IAnalysisManager> manager_;
  std::int32_t cookie_ = -1;
  Journal journal_ = std::make_shared<std::vector<std::string>>();
  bool toggled_ = false;
  TickPosition start_ = TickPosition::unset();
  TickPosition end_ = TickPosition::unset();
  bool allow_ = true;
  std::string channel_;
  ComPtr<IEventReader> reader_;
  std::uint32_t events_ = 0;
  std::set<std::int32_t> guided_;
  ComPtr<IPlotControl> plot_;
  std::u16string plot_id_;
  std::shared_ptr<std::vector<double>> plot_values_ = std::make_shared<std::vector<double>>();
};

class DocumentClass final : public ComObject<IDocumentClass, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT CreateDocument(IHostDocument* host, const GUID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!host) return E_POINTER;
    return guard([&] { return make_com<Document>(ComPtr<IHostDocument>::retain(host))->QueryInterface(iid, object); });
  }
  HRESULT GetDisplayName(BSTR* name) override { return put_text(u"Probe Document", name); }
  HRESULT GetInternalName(BSTR* name) override { return put_text(u"ProbeDocument", name); }
  HRESULT GetClassId(GUID* classId) override { return put_value(kDocumentClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return put_value(kDocumentCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return put_value(std::uint32_t{0}, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return put_value(std::uint32_t{0}, flags); }
};

// The class of the probe's one view type: the host finds it by its type id when the
// document asks to open that view.
class ViewClass final : public ComObject<IClassFactory, IClassObjectInfo> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
  HRESULT GetDisplayName(BSTR* name) override { return put_text(u"Probe View", name); }
  HRESULT GetInternalName(BSTR* name) override { return put_text(u"ProbeView", name); }
  HRESULT GetClassId(GUID* classId) override { return put_value(kViewClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return put_value(kViewCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return put_value(command(1), typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return put_value(std::uint32_t{0}, flags); }
};

}  // namespace

ComPtr<IUnknown> make_document_class() { return ComPtr<IUnknown>::adopt(make_com<DocumentClass>().detach()->identity()); }
ComPtr<IUnknown> make_view_class() { return ComPtr<IUnknown>::adopt(make_com<ViewClass>().detach()->identity()); }

}  // namespace probe
