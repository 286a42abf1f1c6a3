// SPDX-License-Identifier: MIT
// A host document with everything that lives around its data: the chart view, the analysis
// and sampling managers, and the extension documents that registered document classes
// create for it, each on a site of its own (host_site.h). The frame drives their life:
// creation, persisted items initialised or loaded, the attached notice, the menus, message
// routing, and closing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "korvel/app/host_document.h"
#include "korvel/io/load_recording.h"
#include "korvel/services/analysis_manager.h"
#include "korvel/services/chart_guides.h"
#include "korvel/services/chart_view.h"
#include "korvel/services/host_site.h"
#include "korvel/services/sampling_manager.h"
#include "sdk/host/host_document.h"
#include "sdk/host/views.h"

namespace korvel::services {

class Session;

struct FrameOptions {
  bool can_sample = true;        // the document offers a sampling manager
  bool analysis_manager = true;  // the host runs with an analysis manager
};

// One persisted item's stream as a document file keeps it: the document class of the
// extension document it belongs to, its index, and the class id the item reported.
struct SavedItem {
  GUID document_class{};
  std::int32_t index = 0;
  GUID item_class{};
  std::vector<std::uint8_t> bytes;
};

// A recording file the document's data was read from, with how it was read.
struct RecordingSource {
  std::filesystem::path path;
  io::LoadOptions options;
};

// A channel whose calculation is an extension's (channel_calculations.h).
struct CalculatedChannel {
  ChannelId channel;
  GUID class_id{};
  ComPtr<IChannelCalculation> calculation;
};

struct OpenView {
  std::uint32_t type_id = 0;
  std::string name;      // the view class's display name
  int activations = 0;   // requests after the first, which activate the open view
  ComPtr<IExtensionView> view;  // null for a class that creates no view through IViewClass
};

class DocumentFrame {
 public:
  struct Extension {
    GUID class_id{};
    std::string name;  // the document class's display name
    ComPtr<HostSite> site;
    ComPtr<IExtensionDocument> document;
  };

  DocumentFrame(Session& session, ComPtr<app::HostDocument> data, std::int32_t identity, const FrameOptions& options);
  ~DocumentFrame();
  DocumentFrame(const DocumentFrame&) = delete;
  DocumentFrame& operator=(const DocumentFrame&) = delete;

  Session& session() noexcept { return session_; }
  std::int32_t identity() const noexcept { return identity_; }
  app::HostDocument& data() noexcept { return *data_; }
  const ComPtr<app::HostDocument>& data_object() const noexcept { return data_; }
  ChartView& chart_view() noexcept { return *view_; }
  const ComPtr<ChartView>& chart_view_object() const noexcept { return view_; }
  const ComPtr<AnalysisManager>& analysis_manager() const noexcept { return analysis_; }
  const ComPtr<SamplingManager>& sampling_manager() const noexcept { return sampling_; }
  ChartGuides& chart_guides() noexcept { return guides_; }
  // The host document object that the host hands to what it creates for the document
  // itself (Tabulet functions, channel calculations, export handlers).
  const ComPtr<HostSite>& host_object() const noexcept { return host_; }
  const std::vector<Extension>& extensions() const noexcept { return extensions_; }
  const Extension* find_extension(const GUID& class_id) const;
  bool closed() const noexcept { return closed_; }
  // The files the data came from, in record order; empty for data that was sampled or
  // built in memory.
  const std::vector<RecordingSource>& sources() const noexcept { return sources_; }
  void set_sources(std::vector<RecordingSource> sources) { sources_ = std::move(sources); }
  // Channels whose calculation is an extension's, in the order they got it.
  std::vector<CalculatedChannel>& calculated_channels() noexcept { return calculated_; }
  const std::vector<CalculatedChannel>& calculated_channels() const noexcept { return calculated_; }

  // Creates one extension document per registered document class, in registration order;
  // initialises each one's persisted objects, or loads those that `saved` holds (then calls
  // OnLoaded); sends every document the attached notice; lets each add its menus. Throws
  // HResultError with a message that names the extension when a document cannot be
  // created, refuses a stream, lacks an item that `saved` holds, or when `saved` holds
  // items of a document class that no loaded extension registered. The documents created
  // so far are closed again then.
  void attach_extensions(const std::vector<SavedItem>& saved = {});
  // Every extension document's persisted items as they would be saved now.
  std::vector<SavedItem> save_items(bool clear_dirty) const;
  // Whether any persisted item reports unsaved changes.
  bool dirty() const;

  // Delivers `message` to every extension document's message sink; the results in order.
  std::vector<HRESULT> broadcast(const HostMessage& message);
  // What an extension document sends through its site: opening a view, the copy and
  // print commands, and macro messages, which are recorded while a macro is being
  // recorded and delivered back to the document that sent them. E_INVALIDARG for a type
  // the host does not know.
  HRESULT route(const HostSite& from, const HostMessage& message);
  // Delivers a macro message as replaying does: to the extension documents in order,
  // until one handles it. S_FALSE when none does.
  HRESULT deliver_macro(const HostMessage& message);
  // IHostDocument::NotifyService: S_FALSE for a service this host does not offer.
  HRESULT notice(const GUID& service, std::uint32_t type);

  const std::vector<OpenView>& views() const noexcept { return views_; }
  const std::vector<std::uint32_t>& view_commands() const noexcept { return view_commands_; }
  const std::vector<std::pair<GUID, std::uint32_t>>& notices() const noexcept { return notices_; }

  // Closes every extension document and lets go of what they registered. Idempotent.
  void close();

 private:
  void attach(const GUID& class_id, const std::string& name, IDocumentClass& cls, const std::vector<SavedItem>& saved);
  HRESULT open_view(std::uint32_t type_id);

  Session& session_;
  ComPtr<app::HostDocument> data_;
  std::int32_t identity_;
  ComPtr<ChartView> view_;
  ComPtr<AnalysisManager> analysis_;
  ComPtr<SamplingManager> sampling_;
  ChartGuides guides_;
  ComPtr<HostSite> host_;
  std::vector<Extension> extensions_;
  std::vector<RecordingSource> sources_;
  std::vector<CalculatedChannel> calculated_;
  std::vector<OpenView> views_;
  std::vector<std::uint32_t> view_commands_;
  std::vector<std::pair<GUID, std::uint32_t>> notices_;
  bool closed_ = false;
};

// The host service told when a document in an earlier format was loaded: the only service
// that NotifyService reaches in this host.
inline constexpr GUID kDocumentUpgradeService = make_guid("{F2A1CAB8-A683-410D-8307-9424303CFD13}");

}  // namespace korvel::services
