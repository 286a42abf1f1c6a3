// SPDX-License-Identifier: MIT
// An HRV::Document on a fake host document with two records of 60 s at 1 kHz, an application
// installed for module ids and message boxes, and an observer that records every change
// notification as "about N" / "changed N".
#pragma once

#include <cmath>
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
#include "sdk/cpp/utf.h"

namespace document_test {

using Events = std::vector<std::string>;

class RecordingObserver final : public HRV::DocumentObserver {
 public:
  void AboutToChange(HRV::ChangeCode code) override { events.push_back("about " + std::to_string(static_cast<int>(code))); }
  void Changed(HRV::ChangeCode code) override { events.push_back("changed " + std::to_string(static_cast<int>(code))); }
  Events take() { return std::exchange(events, {}); }
  Events events;
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
    host->extensionDocument.reset();  // the host document and an offered analysis hold each other
    document->remove_observer(&observer);
    document->Close();  // as the host does: the managers let go of the document
    document.reset();
    HRV::HostContext::instance().set_application(nullptr);
  }

  HRV::Document& doc() { return *document; }
  std::uint16_t module_id() { return app->module_id(HRV::GUID_HRVDocumentObj); }
  std::uint32_t command_id(std::uint16_t local) { return std::uint32_t{module_id()} << 16 | local; }

  // Offers the document's analysis to the host's other clients (Tabulet functions, views).
  void offer_analysis() {
    host->extensionDocumentClass = HRV::GUID_HRVDocumentObj;
    host->extensionDocument = ComPtr<IUnknown>::retain(document->identity());
  }

  // Beats every second through both records: RR 1 s, FF 1.2.
  void add_regular_beats() {
    std::vector<std::int32_t> ticks;
    for (std::int32_t t = 1000; t < kTicksPerRecord; t += 1000) ticks.push_back(t);
    host->add_beats(0, ticks, 1.0, 1.2);
    host->add_beats(1, ticks, 1.0, 1.2);
  }
  // Included beats whose RR swings between 0.7 and 0.9 s from 1 s on, every `ectopicEvery`-th
  // one (counting from 5) ectopic.
  void add_varied_beats(int count, int ectopicEvery = 0) {
    double previous = std::nan(""), t = 1.0;
    for (int i = 0; i < count; ++i) {
      const double rr = 0.8 + 0.1 * std::sin(i * 0.7);
      t += rr;
      const auto tick = static_cast<std::int32_t>(t * 1000.0);
      const std::uint32_t flags = ectopicEvery && i % ectopicEvery == 5 ? 0x301 : 0x300;
      host->add_beat({{tick % kTicksPerRecord, tick / kTicksPerRecord}, rr, rr - previous, 1.2, flags, 0});
      previous = rr;
    }
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
