// SPDX-License-Identifier: MIT
#include "korvel/services/document_frame.h"

#include <algorithm>

#include "korvel/services/session.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

// Sent after the attached notice; the host's framework follows every attachment with it.
constexpr std::uint32_t kMessageDocumentFollowUp = 0x80000001u;
// Persisted objects are asked for by index from 0 up to the first the document lacks; no
// document has more than this.
constexpr std::int32_t kMaxPersistedItems = 64;

std::string quoted(const std::string& name) { return "'" + name + "'"; }

}  // namespace

DocumentFrame::DocumentFrame(Session& session, ComPtr<app::HostDocument> data, std::int32_t identity,
                             const FrameOptions& options)
    : session_(session),
      data_(std::move(data)),
      identity_(identity),
      view_(make_com<ChartView>(ComPtr<IDocumentData>::retain(data_.get()))),
      analysis_(options.analysis_manager ? make_com<AnalysisManager>() : nullptr),
      sampling_(options.can_sample ? make_com<SamplingManager>() : nullptr),
      guides_([this](std::int32_t channel) {
        return (channel >= 0 && channel < data_->document().channel_count()) || data_->channels().contains(channel);
      }),
      host_(make_com<HostSite>(*this)) {}

DocumentFrame::~DocumentFrame() { close(); }

const DocumentFrame::Extension* DocumentFrame::find_extension(const GUID& class_id) const {
  auto it = std::find_if(extensions_.begin(), extensions_.end(), [&](const Extension& e) { return e.class_id == class_id; });
  return it == extensions_.end() ? nullptr : &*it;
}

void DocumentFrame::attach_extensions(const std::vector<SavedItem>& saved) {
  const auto classes = session_.application().extensions()->classes_in(kDocumentCategory);
  for (const SavedItem& item : saved)
    if (std::none_of(classes.begin(), classes.end(), [&](const auto* c) { return c->class_id == item.document_class; }))
      throw_hresult(E_INVALIDARG, "the document needs the extension whose document class is " + to_string(item.document_class) +
                                      ", which is not loaded");
  try {
    for (const app::RegisteredClass* c : classes) {
      auto cls = c->object.query<IDocumentClass>();
      if (!cls) throw_hresult(E_NOINTERFACE, "document class " + quoted(c->display_name) + " cannot create documents");
      attach(c->class_id, c->display_name, *cls, saved);
    }
    const HostMessage attached{kMessageDocumentAttached, {identity_, identity_, 0, 0}, nullptr};
    broadcast(attached);
    broadcast(HostMessage{kMessageDocumentFollowUp, {}, nullptr});
    for (const Extension& e : extensions_)
      if (HRESULT hr = e.document->SetupUserInterface(&session_.menus()); FAILED(hr))
        throw_hresult(hr, "extension document " + quoted(e.name) + " could not set up its menus");
  } catch (...) {
    close();
    throw;
  }
}

void DocumentFrame::attach(const GUID& class_id, const std::string& name, IDocumentClass& cls, const std::vector<SavedItem>& saved) {
  Extension e{class_id, name, make_com<HostSite>(*this), nullptr};
  if (HRESULT hr = cls.CreateDocument(e.site.get(), IExtensionDocument::iid, e.document.put_void()); FAILED(hr) || !e.document)
    throw_hresult(FAILED(hr) ? hr : E_UNEXPECTED, "document class " + quoted(name) + " could not create its document");
  // Registered before its items are loaded, so that a failure below closes it too.
  extensions_.push_back(e);

  std::vector<const SavedItem*> mine;
  for (const SavedItem& s : saved)
    if (s.document_class == class_id) mine.push_back(&s);
  bool loaded_any = false;
  for (std::int32_t index = 0; index < kMaxPersistedItems; ++index) {
    ComPtr<IPersist> object;
    if (e.document->GetPersistedObject(index, kPersistedObjectKind, object.put()) != S_OK || !object) break;
    auto persist = object.query<IPersistStreamInit>();
    const std::string what = quoted(name) + " persisted item " + std::to_string(index);
    if (!persist) throw_hresult(E_NOINTERFACE, what + " cannot be saved to a stream");
    auto stored = std::find_if(mine.begin(), mine.end(), [&](const SavedItem* s) { return s->index == index; });
    const bool load = stored != mine.end();
    if (!load) {
      if (HRESULT hr = persist->InitNew(); FAILED(hr)) throw_hresult(hr, what + " could not be initialised");
    } else {
      GUID item_class{};
      if (FAILED(persist->GetClassID(&item_class)) || !(item_class == (*stored)->item_class))
        throw_hresult(E_INVALIDARG, what + " is of class " + to_string(item_class) + ", the saved one of " + to_string((*stored)->item_class));
      auto stream = make_com<MemoryStream>((*stored)->bytes);
      if (HRESULT hr = persist->Load(stream.get()); FAILED(hr))
        throw_hresult(hr, what + " refused its saved stream (" + std::to_string((*stored)->bytes.size()) + " bytes)");
      mine.erase(stored);
      loaded_any = true;
    }
    check_hresult(e.site->storage().SetPersistedItem(index, persist.get(), to_variant_bool(load)));
  }
  if (!mine.empty())
    throw_hresult(E_INVALIDARG, quoted(name) + " has no persisted item " + std::to_string(mine.front()->index) + " to load the saved one into");
  if (loaded_any)
    if (HRESULT hr = e.document->OnLoaded(); FAILED(hr)) throw_hresult(hr, quoted(name) + " failed after loading its persisted items");
}

std::vector<SavedItem> DocumentFrame::save_items(bool clear_dirty) const {
  std::vector<SavedItem> out;
  for (const Extension& e : extensions_) {
    for (const auto& [index, item] : e.site->storage().items()) {
      SavedItem s{e.class_id, index, {}, e.site->storage().save(index, clear_dirty)};
      check_hresult(item.object->GetClassID(&s.item_class));
      out.push_back(std::move(s));
    }
  }
  return out;
}

bool DocumentFrame::dirty() const {
  return std::any_of(extensions_.begin(), extensions_.end(), [](const Extension& e) { return e.site->storage().dirty(); });
}

std::vector<HRESULT> DocumentFrame::broadcast(const HostMessage& message) {
  std::vector<HRESULT> results;
  // A document may close or send messages of its own while it handles this one.
  const std::vector<Extension> documents = extensions_;
  for (const Extension& e : documents) {
    auto sink = e.document.query<IMessageSink>();
    results.push_back(sink ? sink->OnMessage(&message) : E_NOINTERFACE);
  }
  return results;
}

HRESULT DocumentFrame::deliver_macro(const HostMessage& message) {
  const std::vector<Extension> documents = extensions_;
  for (const Extension& e : documents)
    if (auto sink = e.document.query<IMessageSink>(); sink && sink->OnMessage(&message) == S_OK) return S_OK;
  return S_FALSE;
}

HRESULT DocumentFrame::route(const HostSite& from, const HostMessage& message) {
  if (closed_) return E_UNEXPECTED;
  switch (message.type) {
    case kMessageOpenView: return open_view(static_cast<std::uint32_t>(message.args[2]));
    case kMessageCopy:
    case kMessagePrint: view_commands_.push_back(message.type); return S_OK;
    default: break;
  }
  const auto& classes = session_.application().extensions()->message_classes();
  auto cls = std::find_if(classes.begin(), classes.end(), [&](const auto& c) { return c.type == message.type; });
  if (cls == classes.end()) return E_INVALIDARG;
  session_.macros().record({cls->prefix, cls->name, {}});
  auto sender = std::find_if(extensions_.begin(), extensions_.end(), [&](const Extension& e) { return e.site.get() == &from; });
  if (sender == extensions_.end()) return deliver_macro(message);
  auto sink = sender->document.query<IMessageSink>();
  return sink ? sink->OnMessage(&message) : E_NOINTERFACE;
}

HRESULT DocumentFrame::open_view(std::uint32_t type_id) {
  auto open = std::find_if(views_.begin(), views_.end(), [&](const OpenView& v) { return v.type_id == type_id; });
  if (open != views_.end()) {
    ++open->activations;
    return S_OK;
  }
  if (type_id == 0) return E_INVALIDARG;
  for (const app::RegisteredClass& c : session_.application().extensions()->classes())
    if (c.type_id == type_id) {
      OpenView open_view{type_id, c.display_name, 0, nullptr};
      // A view class creates its view for this document; the view draws through the
      // host's services from then on.
      if (auto cls = c.object.query<IViewClass>()) {
        const HRESULT hr = cls->CreateView(host_.get(), IExtensionView::iid, open_view.view.put_void());
        if (FAILED(hr)) return hr;
      }
      views_.push_back(std::move(open_view));
      return S_OK;
    }
  return E_INVALIDARG;
}

HRESULT DocumentFrame::notice(const GUID& service, std::uint32_t type) {
  if (!(service == kDocumentUpgradeService)) return S_FALSE;
  notices_.emplace_back(service, type);
  return S_OK;
}

void DocumentFrame::close() {
  if (closed_) return;
  closed_ = true;
  // Each document lets go of the host's services as it closes; whatever it leaves behind
  // (a sink, a client, stored items) is released here, which breaks the reference cycles
  // through the sites.
  for (OpenView& v : views_)
    if (v.view) {
      v.view->Close();
      v.view.reset();
    }
  const std::vector<Extension> documents = std::move(extensions_);
  extensions_.clear();
  for (const Extension& e : documents) e.document->Close();
  // An extension's calculation holds the host document object, which holds the data that
  // holds the calculation: detach them.
  for (const CalculatedChannel& c : calculated_) data_->SetCalculation(c.channel, nullptr);
  calculated_.clear();
  if (analysis_) analysis_->clear();
  if (sampling_) sampling_->clear();
  for (const Extension& e : documents) {
    e.site->storage().clear();
    e.site->detach();
  }
  host_->detach();
}

}  // namespace korvel::services
