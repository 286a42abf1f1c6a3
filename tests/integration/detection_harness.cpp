// SPDX-License-Identifier: MIT
#include "detection_harness.h"

#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "hrv/core/settings_fields.h"
#include "hrv/detect/detector.h"
#include "hrv/detect/fiducial_enumerator.h"
#include "hrv/detect/presets.h"
#include "hrv/host/host_context.h"
#include "korvel/app/application.h"
#include "korvel/app/host_document.h"
#include "korvel/io/load_recording.h"

namespace integration {

namespace {

// A host application with the extension's fiducial enumerator registered, as loading the
// extension would leave it.
ComPtr<korvel::app::Application> host_with_extension() {
  auto application = make_com<korvel::app::Application>();
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(application.get()));
  ComPtr<IClassObjectRegistry> registry;
  EXPECT_EQ(application->GetClassObjectRegistry(registry.put()), S_OK);
  EXPECT_EQ(registry->RegisterClassObject(HRV::make_fiducial_enumerator_class().get()), S_OK);
  return application;
}

HRV::SettingsFields settings_for(int signal, int preset, TickPosition start, TickPosition end) {
  HRV::SettingsFields settings;
  HRV::ApplyPreset(settings, preset);
  HRV::ApplyClassifierPreset(settings, preset);
  HRV::ApplySpectrumPreset(settings, preset);
  settings.SourceChannel = signal;
  settings.StartRecord = start.record;
  settings.StartTick = start.tick;
  settings.EndRecord = end.record;
  settings.EndTick = end.tick;
  return settings;
}

// Reads what the reader has now and appends it to `beats`.
void drain(IEventReader* reader, IDocumentData* document, int signal, DetectedBeats& beats) {
  std::vector<HRV::FiducialEvent> batch(512);
  std::vector<std::int32_t> records(batch.size());
  ULONG count = 0;
  HRESULT hr;
  while ((hr = reader->Read(batch.data(), static_cast<ULONG>(batch.size()), records.data(), &count)) == S_OK && count > 0) {
    for (ULONG i = 0; i < count; ++i) {
      double start = 0, dt = 0;
      document->GetRecordStartTime(records[i], &start);
      document->GetSampleInterval(records[i], ChannelId{signal, ChannelId::kDefaultKind}, &dt);
      beats.times.push_back(start + batch[i].tick * dt);
      beats.events.push_back(batch[i]);
    }
  }
  // Reading stops where the data do: a failed evaluation (the enumerator reading its input
  // where it is no longer kept, say) would cut the beats short.
  EXPECT_EQ(hr, S_FALSE);
}

}  // namespace

DetectedBeats detect_beats(const std::filesystem::path& path, int signal, int preset) {
  return detect_beats(korvel::io::load_recording(path), signal, preset);
}

DetectedBeats detect_beats(korvel::io::Recording recording, int signal, int preset) {
  auto application = host_with_extension();
  auto document = make_com<korvel::app::HostDocument>(korvel::doc::Document(std::move(recording)), application.get());
  TickPosition end;
  EXPECT_EQ(document->GetEndOfData(&end), S_OK);
  const HRV::SettingsFields settings = settings_for(signal, preset, {0, 0}, end);

  DetectedBeats beats;
  {
    HRV::HRVDetector detector(document.get());
    EXPECT_TRUE(detector.Build(HRV::AllGroups, &settings));
    ChannelId fiducial;
    EXPECT_TRUE(detector.FiducialChannel(&fiducial));
    ComPtr<IEventReader> reader;
    EXPECT_EQ(document->OpenEventReader(fiducial, {0, 0}, end, reader.put()), S_OK);
    if (reader) drain(reader.get(), document.get(), signal, beats);
    detector.DeleteChannels();
  }
  HRV::HostContext::instance().set_application(nullptr);
  return beats;
}

DetectedBeats detect_beats_while_sampling(const std::filesystem::path& path, int signal, int preset, double seconds,
                                          unsigned seed, int maxBlock) {
  return detect_beats_while_sampling(korvel::io::load_recording(path), signal, preset, seconds, seed, maxBlock);
}

DetectedBeats detect_beats_while_sampling(const korvel::io::Recording& recording, int signal, int preset, double seconds,
                                          unsigned seed, int maxBlock) {
  const korvel::io::Record source = recording.records.at(0);
  std::vector<korvel::doc::ChannelInfo> channels;
  for (const auto& c : source.channels) channels.push_back({c.name, c.unit, 0});

  auto application = host_with_extension();
  auto document = make_com<korvel::app::HostDocument>(korvel::doc::Document(recording.name, channels), application.get());
  korvel::doc::Document& data = document->document();
  data.begin_sampling(source.tick_interval_s, 0.0);

  DetectedBeats beats;
  {
    // The analysis of a growing record: from its start to the open end.
    const HRV::SettingsFields settings = settings_for(signal, preset, {0, 0}, TickPosition::open_end());
    HRV::HRVDetector detector(document.get());
    EXPECT_TRUE(detector.Build(HRV::AllGroups, &settings));
    ChannelId fiducial;
    EXPECT_TRUE(detector.FiducialChannel(&fiducial));
    ComPtr<IEventReader> reader;
    EXPECT_EQ(document->OpenEventReader(fiducial, {0, 0}, TickPosition::open_end(), reader.put()), S_OK);
    if (!reader) return beats;

    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> blockLength(1, maxBlock);
    const std::size_t total = std::min(source.length(), static_cast<std::size_t>(seconds / source.tick_interval_s));
    for (std::size_t at = 0; at < total;) {
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(blockLength(rng)), total - at);
      std::vector<std::vector<float>> block;
      for (const auto& c : source.channels) block.emplace_back(c.samples.begin() + at, c.samples.begin() + at + n);
      data.append(block);
      at += n;
      drain(reader.get(), document.get(), signal, beats);
    }
    data.end_sampling();
    drain(reader.get(), document.get(), signal, beats);
    detector.DeleteChannels();
  }
  HRV::HostContext::instance().set_application(nullptr);
  return beats;
}

}  // namespace integration
