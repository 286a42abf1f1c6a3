// SPDX-License-Identifier: MIT
// The probe document and its class. The document reaches the
// host only through the site it was created with and the application it was registered
// with, and writes each call the host makes on it into its journal.
#include <vector>

#include "sdk/cpp/hresult_error.h"
#include "sdk/host/host_document.h"
#include "sdk/host/sampling.h"
#include "sdk/host/storage.h"
#include "tests/probe/probe_parts.h"

namespace probe {
namespace {

std::uint16_t local_of(std::uint32_t id) { return static_cast<std::uint16_t>(id & 0xFFFF); }
bool ours(std::uint32_t id) { return (id >> 16) == module_id(); }
std::string flag(bool on) { return on ? "1" : "0"; }

std::uint16_t family_module(const GUID& family) {
  std::uint16_t id = 0;
  if (IApplication* app = application()) app->GetModuleId(family, &id);
  return id;
}

class Document final
    : public ComObject<IExtensionDocument, IMessageSink, ICommandTarget, IOnlineDataSink, IAnalysisClient, IProbeDocument> {
 public:
  explicit Document(ComPtr<IHostDocument> host) : host_(std::move(host)) { check_hresult(host_->GetDocumentData(data_.put())); }

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
          {type_id(kCommandCount), u"Probe|Count", 1, nullptr, 0, 0},
          {0, u"Probe|-", 0, nullptr, 0, 0},
          {0, u"Probe|Sub|", 0, nullptr, 0, 0},
          {type_id(kCommandToggle), u"Probe|Sub|Toggle", 4, nullptr, 0, 0},
          {type_id(kCommandReport), u"Probe|Sub|Report", 7, u"analyse", 1004, 10},
          {0, u"Probe|-", 0, nullptr, 0, 0},
          {type_id(kCommandViews), u"Probe|Views|", 11, u"windows_graphsmenu", 1005, 522},
          {type_id(kCommandOpenView), u"Probe|Open", 14, nullptr, 0, 0},
      };
      for (const MenuItem& item : items) check_hresult(menus->AddMenuItem(&item, strings.get()));
      return S_OK;
    });
  }
  HRESULT OnLoaded() override {
    log("loaded note=" + note_->payload() + " count=" + std::to_string(count_of(*counter_)));
    return S_OK;
  }
  HRESULT Close() override {
    log("close");
    if (ComPtr<ISamplingManager> sampling; host_->GetSamplingManager(sampling.put()) == S_OK) sampling->RemoveSink(this);
    if (manager_) manager_->UnregisterClient(cookie_);
    manager_.reset();
    return S_OK;
  }

  // ---- IMessageSink
  HRESULT OnMessage(const HostMessage* message) override {
    if (!message) return E_POINTER;
    return guard([&] {
      const HostMessage& m = *message;
      const std::string number = std::to_string(local_of(m.type));
      if (m.type == kMessageDocumentAttached) return attached(m);
      if (m.type == 0x80000001u) return log("follow-up"), S_OK;
      if (m.type == type_id(kCountMessage)) return log("message count"), count_up(*counter_), S_OK;
      if ((m.type >> 16) == family_module(kDataNotificationFamily)) {
        log("data " + number + " " + std::to_string(m.args[0]) + " " + std::to_string(m.args[1]) + " " + std::to_string(m.args[2]) +
            " " + std::to_string(m.args[3]) + (m.object ? " object" : ""));
        return S_OK;
      }
      // The host's framework handles its own notices; nobody handles unknown ones.
      const bool framework = (m.type >> 16) == family_module(kFrameworkNotificationFamily);
      log(framework ? "framework " + number : "unknown " + std::to_string(m.type));
      return S_FALSE;
    });
  }

  // ---- ICommandTarget
  HRESULT Execute(std::uint32_t id) override {
    if (!ours(id)) return S_FALSE;
    return guard([&] {
      log("execute " + std::to_string(local_of(id)));
      switch (local_of(id)) {
        case kCommandCount: {
          const HostMessage m{type_id(kCountMessage), {}, nullptr};
          return host_->SendMessage(&m);
        }
        case kCommandToggle: toggled_ = !toggled_; return S_OK;
        case kCommandReport: return S_OK;
        case kCommandOpenView: {
          const HostMessage m{kMessageOpenView, {0, 4, static_cast<std::int32_t>(type_id(1)), 0}, nullptr};
          return host_->SendMessage(&m);
        }
        default: return S_FALSE;
      }
    });
  }
  HRESULT Update(std::uint32_t id, ICommandUpdate* update) override {
    if (!update) return E_POINTER;
    if (!ours(id)) return S_FALSE;
    return guard([&] {
      switch (local_of(id)) {
        case kCommandCount: return update->SetEnabled(to_variant_bool(selection() == kSelectionRange));
        case kCommandToggle: return update->SetCheck(toggled_ ? 1 : 0, 1);
        case kCommandReport: return update->SetText(utf8_to_utf16("Report " + std::to_string(count_of(*counter_))).c_str());
        default: return S_FALSE;
      }
    });
  }
  HRESULT BuildPopup(std::uint32_t id, INativeMenu* menu) override {
    if (!menu) return E_POINTER;
    if (id != type_id(kCommandViews)) return S_FALSE;
    menu->RemoveAll();
    menu->Append(41, u"First View");
    menu->Append(42, u"Second View");
    return S_OK;
  }
  HRESULT DispatchPopup(std::uint32_t id, std::uint32_t item) override {
    if (id != type_id(kCommandViews)) return S_FALSE;
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
    log("starting " + std::to_string(argument) + " sampling=" + flag(sampling()));
    return S_OK;
  }
  HRESULT SamplingStateChanged(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               std::int32_t, std::int32_t, std::int32_t, std::int32_t, VARIANT_BOOL state) override {
    log("state " + flag(state) + " sampling=" + flag(sampling()));
    return S_OK;
  }
  HRESULT OnlineData(std::int32_t argument) override {
    std::int32_t record = 0, length = -1;
    TickPosition start;
    data_->GetSamplingStart(&record, &start);
    data_->GetRecordLength(record, &length);
    log("data " + std::to_string(argument) + " length=" + std::to_string(length));
    return S_OK;
  }
  HRESULT SamplingEnding(std::int32_t, std::int32_t) override {
    log("ending sampling=" + flag(sampling()));
    return S_OK;
  }
  HRESULT SamplingStopped(std::int32_t argument) override {
    TickPosition end;
    data_->GetEndOfData(&end);
    log("stopped " + std::to_string(argument) + " end=" + std::to_string(end.record) + ":" + std::to_string(end.tick));
    return S_OK;
  }
  HRESULT OnSamplingEvent(std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnTriggerArmed() override { return E_NOTIMPL; }
  HRESULT OnTriggerDisarmed() override { return E_NOTIMPL; }
  HRESULT OnDisplayRefresh(std::int32_t) override { return S_OK; }
  HRESULT GetRefreshInterval(std::int32_t* milliseconds) override { return copy_out(200, milliseconds); }
  HRESULT GetBufferRequest(std::int32_t, std::int32_t, std::int32_t, std::int32_t* request) override { return copy_out(0, request); }

  // ---- IAnalysisClient: the probe has no region of its own.
  HRESULT ReportRegion(std::int32_t) override { return log("report-region"), S_OK; }
  HRESULT RequestClear(std::int32_t) override { return log("clear"), S_OK; }
  HRESULT RequestReanalysis(std::int32_t) override { return log("reanalyse"), S_OK; }

  // ---- IProbeDocument
  HRESULT TakeJournal(BSTR* journal) override {
    std::string all;
    for (const std::string& line : journal_) all += line + "\n";
    journal_.clear();
    return copy_text(all, journal);
  }
  HRESULT SetNote(const char16_t* text) override {
    if (!text) return E_POINTER;
    note_->set(utf16_to_utf8(text));
    return S_OK;
  }
  HRESULT GetNote(BSTR* text) override { return copy_text(note_->payload(), text); }
  HRESULT GetCount(std::int32_t* count) override { return copy_out(count_of(*counter_), count); }
  HRESULT AllowSampling(VARIANT_BOOL allow) override {
    allow_ = allow != VARIANT_FALSE;
    return S_OK;
  }

 private:
  void log(std::string line) { journal_.push_back(std::move(line)); }

  HRESULT attached(const HostMessage& m) {
    std::int32_t identity = 0;
    check_hresult(host_->GetIdentity(&identity));
    if (m.args[0] != identity || m.args[1] != identity) return log("attached to another document"), S_FALSE;
    log("attached");
    if (ComPtr<IAnalysisManager> manager; host_->GetAnalysisManager(manager.put()) == S_OK) {
      check_hresult(manager->RegisterClient(u"Probe", u"Probe analysis", static_cast<IAnalysisClient*>(this), &cookie_));
      check_hresult(manager->SetPersistedItem(cookie_, 0, note_.get(), to_variant_bool(note_->loaded())));
      check_hresult(manager->SetPersistedItem(cookie_, 1, counter_.get(), to_variant_bool(counter_->loaded())));
      manager_ = std::move(manager);
    }
    if (ComPtr<ISamplingManager> sampling; host_->GetSamplingManager(sampling.put()) == S_OK) check_hresult(sampling->AddSink(this));
    return S_OK;
  }

  std::uint32_t selection() {
    ComPtr<IChartView> view;
    std::uint32_t kind = kSelectionQueryStart;
    TickPosition start, end;
    ChannelId channel;
    double low = -1e300, high = 1e300;
    if (host_->GetChartView(view.put()) != S_OK || FAILED(view->GetSelection(&kind, &start, &end, &channel, &low, &high)))
      return kSelectionNone;
    return kind;
  }

  bool sampling() {
    VARIANT_BOOL s = VARIANT_FALSE;
    return data_->IsSampling(&s) == S_OK && s != VARIANT_FALSE;
  }

  ComPtr<IHostDocument> host_;
  ComPtr<IDocumentData> data_;
  ComPtr<Item> note_ = make_note();
  ComPtr<Item> counter_ = make_counter();
  ComPtr<IAnalysisManager> manager_;
  std::int32_t cookie_ = -1;
  std::vector<std::string> journal_;
  bool toggled_ = false, allow_ = true;
};

class DocumentClass final : public ProbeFactory<IDocumentClass> {
 public:
  DocumentClass() : ProbeFactory(ClassInfo{u"Probe Document", u"ProbeDocument", kDocumentClassId, kDocumentCategory, 0, 0}) {}
  HRESULT CreateDocument(IHostDocument* host, const GUID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!host) return E_POINTER;
    return guard([&] { return make_com<Document>(ComPtr<IHostDocument>::retain(host))->QueryInterface(iid, object); });
  }
};

}  // namespace

ComPtr<IUnknown> make_document_class() { return ComPtr<IUnknown>::adopt(make_com<DocumentClass>().detach()->identity()); }

}  // namespace probe
