// SPDX-License-Identifier: MIT
// An HRV::Document on a fake host document with two records of 60 s at 1 kHz, an application
// installed for module ids and message boxes, and an observer that records every change
// notification as "about N" / "changed N".
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host_application.h"
#include "fake_host_document.h"
#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/memory_stream.h"

namespace document_test {

class RecordingObserver final : public HRV::DocumentObserver {
 public:
  void AboutToChange(HRV::ChangeCode code) override { events.push_back("about " + std::to_string(static_cast<int>(code))); }
  void Changed(HRV::ChangeCode code) override { events.push_back("changed " + std::to_string(static_cast<int>(code))); }
  std::vector<std::string> take() { return std::exchange(events, {}); }
  std::vector<std::string> events;
};

// Hands the Settings command a copy changed by `edit`, or cancels when `accept` is false.
class ScriptedEditor final : public HRV::SettingsEditor {
 public:
  bool Edit(HRV::Settings& copy, const std::vector<std::u16string>& channelNames) override {
    offered = channelNames;
    ++shown;
    if (edit) edit(copy);
    return accept;
  }
  std::function<void(HRV::Settings&)> edit;
  bool accept = true;
  int shown = 0;
  std::vector<std::u16string> offered;
};

class DocumentTest : public ::testing::Test {
 protected:
  static constexpr std::int32_t kTicksPerRecord = 60000;

  void SetUp() override {
    HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
    host->records = {{0.0, 0.001, kTicksPerRecord}, {60.0, 0.001, kTicksPerRecord}};
    document = make_com<HRV::Document>(ComPtr<IHostDocument>::retain(host.get()));
    document->add_observer(&observer);
  }
  void TearDown() override {
    document->remove_observer(&observer);
    // As the host does: the sampling and analysis managers let go of the document on Close.
    document->Close();
    document.reset();
    HRV::HostContext::instance().set_application(nullptr);
  }

  HRV::Document& doc() { return *document; }
  std::uint16_t module_id() { return app->module_id(HRV::GUID_HRVDocumentObj); }

  // Beats every second through both records: RR 1 s, FF 1.2.
  void add_regular_beats() {
    std::vector<std::int32_t> ticks;
    for (std::int32_t t = 1000; t < kTicksPerRecord; t += 1000) ticks.push_back(t);
    host->add_beats(0, ticks, 1.0, 1.2);
    host->add_beats(1, ticks, 1.0, 1.2);
  }

  // Analyses the whole channel and forgets the notifications it caused.
  void analyse_whole_channel() {
    doc().Analyze();
    ASSERT_TRUE(doc().region_set());
    observer.take();
  }

  // The persisted settings stream, to compare states.
  std::vector<std::uint8_t> settings_bytes() {
    auto stream = make_com<MemoryStream>();
    doc().settings().Save(stream.get(), VARIANT_FALSE);
    return stream->bytes();
  }

  HRESULT deliver(std::uint32_t type, std::int32_t a0 = 0, std::int32_t a1 = 0, std::int32_t a2 = 0,
                  std::int32_t a3 = 0, IUnknown* object = nullptr) {
    const HostMessage message{type, {a0, a1, a2, a3}, object};
    return doc().message_sink().OnMessage(&message);
  }
  std::uint32_t data_notification(std::uint16_t number) {
    return (std::uint32_t{app->module_id(kDataNotificationFamily)} << 16) | number;
  }

  ComPtr<fake_host::Application> app = make_com<fake_host::Application>();
  ComPtr<fake_host::HostDocument> host = make_com<fake_host::HostDocument>();
  ComPtr<HRV::Document> document;
  RecordingObserver observer;
};

}  // namespace document_test
