// SPDX-License-Identifier: MIT
// Every check starts from the built library, freshly mapped and registered with a fake
// application, and plays the host from there: it creates documents through the registered
// document class on fake host documents and delivers back the macro messages the documents
// send, as the host does when it is not recording. Before the library is unmapped the fake
// host lets go of every object the library made.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host_application.h"
#include "fake_host_document.h"
#include "fake_host_ui.h"
#include "loaded_library.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/calc_enumerator.h"

namespace validator {

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = std::make_unique<LoadedLibrary>(HRV_LIBRARY_PATH);
    ASSERT_TRUE(library_->ok()) << library_->error();
    ASSERT_EQ(library_->register_with(static_cast<IApplication*>(app.get())), S_OK);
    for (const auto& object : app->classes->objects) {
      auto info = object.query<IClassObjectInfo>();
      GUID category{};
      if (info && info->GetCategory(&category) == S_OK && category == kDocumentCategory) {
        documentClass = object.query<IDocumentClass>();
        info->GetClassId(&documentClassId);
      }
    }
    ASSERT_TRUE(documentClass) << "no document class registered";
  }

  void TearDown() override { unload(); }

  // Lets go of everything the library made, then unmaps it.
  void unload() {
    if (!library_) return;
    for (auto& host : hosts_) {
      host->chart->children.clear();
      host->storage->items.clear();
      host->manager->items.clear();
      host->manager->clients.clear();
      host->samplingManager->sinks.clear();
    }
    hosts_.clear();
    menus->strings.reset();
    documentClass.reset();
    app->classes->objects.clear();
    app->messages->classes.clear();
    library_.reset();
  }

  // A host document of two records of 60 s at 1 kHz with a beat every second.
  fake_host::HostDocument& new_host() {
    auto host = make_com<fake_host::HostDocument>();
    host->records = {{0.0, 0.001, 60000}, {60.0, 0.001, 60000}};
    std::vector<std::int32_t> ticks;
    for (std::int32_t t = 1000; t < 60000; t += 1000) ticks.push_back(t);
    host->add_beats(0, ticks, 1.0, 1.2);
    host->add_beats(1, ticks, 0.9, 1.3);
    hosts_.push_back(host);
    return *host;
  }

  // A document of `host`, created, attached and with its user interface set up.
  ComPtr<IExtensionDocument> open_document(fake_host::HostDocument& host) {
    ComPtr<IExtensionDocument> document;
    EXPECT_EQ(documentClass->CreateDocument(&host, IExtensionDocument::iid, document.put_void()), S_OK);
    if (!document) return document;
    const HostMessage attached{kMessageDocumentAttached, {host.identity, host.identity, 0, 0}, nullptr};
    EXPECT_EQ(document.query<IMessageSink>()->OnMessage(&attached), S_OK);
    EXPECT_EQ(document->SetupUserInterface(menus.get()), S_OK);
    return document;
  }

  // The command id of the menu item at `path`, as the document added it.
  std::uint32_t command(const std::string& path) {
    const auto it = std::find_if(menus->items.begin(), menus->items.end(), [&](const auto& item) { return item.path == path; });
    EXPECT_NE(it, menus->items.end()) << "no menu item " << path;
    return it == menus->items.end() ? 0 : it->commandId;
  }
  // The extension's own module id: the one of its document class id.
  std::uint16_t module_id() { return app->module_id(documentClassId); }

  // Executes a menu command as the host does and delivers back the macro message it sent.
  HRESULT execute(IExtensionDocument* document, fake_host::HostDocument& host, const std::string& path) {
    auto target = ComPtr<IUnknown>::retain(document).query<ICommandTarget>();
    if (!target) return E_NOINTERFACE;
    const HRESULT hr = target->Execute(command(path));
    deliver_macros(document, host);
    return hr;
  }
  void deliver_macros(IExtensionDocument* document, fake_host::HostDocument& host) {
    auto sink = ComPtr<IUnknown>::retain(document).query<IMessageSink>();
    for (const HostMessage& m : std::exchange(host.messages, {}))
      if ((m.type >> 16) == module_id()) {
        EXPECT_EQ(sink->OnMessage(&m), S_OK) << std::hex << m.type;
      }
  }

  // The persisted item `index` of `document` saved into bytes.
  std::vector<std::uint8_t> saved_item(IExtensionDocument* document, std::int32_t index) {
    ComPtr<IPersist> item;
    EXPECT_EQ(document->GetPersistedObject(index, kPersistedObjectKind, item.put()), S_OK);
    auto persist = item.query<IPersistStreamInit>();
    auto stream = make_com<MemoryStream>();
    EXPECT_TRUE(persist) << "item " << index;
    if (persist) {
      EXPECT_EQ(persist->Save(stream.get(), VARIANT_FALSE), S_OK) << "item " << index;
    }
    return stream->bytes();
  }

  ComPtr<fake_host::Application> app = make_com<fake_host::Application>();
  ComPtr<fake_host::MenuService> menus = make_com<fake_host::MenuService>();
  ComPtr<IDocumentClass> documentClass;
  GUID documentClassId{};

 private:
  std::unique_ptr<LoadedLibrary> library_;
  std::vector<ComPtr<fake_host::HostDocument>> hosts_;
};

}  // namespace validator
