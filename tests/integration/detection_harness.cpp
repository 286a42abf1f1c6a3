// SPDX-License-Identifier: MIT
#include "detection_harness.h"

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

DetectedBeats detect_beats(const std::filesystem::path& path, int signal, int preset) {
  auto application = make_com<korvel::app::Application>();
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(application.get()));
  ComPtr<IClassObjectRegistry> registry;
  EXPECT_EQ(application->GetClassObjectRegistry(registry.put()), S_OK);
  EXPECT_EQ(registry->RegisterClassObject(HRV::make_fiducial_enumerator_class().get()), S_OK);

  auto document = make_com<korvel::app::HostDocument>(korvel::doc::Document(korvel::io::load_recording(path)),
                                                      application.get());
  HRV::SettingsFields settings;
  HRV::ApplyPreset(settings, preset);
  HRV::ApplyClassifierPreset(settings, preset);
  HRV::ApplySpectrumPreset(settings, preset);
  settings.SourceChannel = signal;
  TickPosition end;
  EXPECT_EQ(document->GetEndOfData(&end), S_OK);
  settings.StartRecord = 0;
  settings.StartTick = 0;
  settings.EndRecord = end.record;
  settings.EndTick = end.tick;

  DetectedBeats beats;
  {
    HRV::HRVDetector detector(document.get());
    EXPECT_TRUE(detector.Build(HRV::AllGroups, &settings));
    ChannelId fiducial;
    EXPECT_TRUE(detector.FiducialChannel(&fiducial));
    ComPtr<IEventReader> reader;
    EXPECT_EQ(document->OpenEventReader(fiducial, {0, 0}, end, reader.put()), S_OK);
    if (reader) {
      std::vector<HRV::FiducialEvent> batch(512);
      std::vector<std::int32_t> records(batch.size());
      ULONG count = 0;
      while (reader->Read(batch.data(), static_cast<ULONG>(batch.size()), records.data(), &count) == S_OK && count > 0) {
        for (ULONG i = 0; i < count; ++i) {
          double start = 0, dt = 0;
          document->GetRecordStartTime(records[i], &start);
          document->GetSampleInterval(records[i], ChannelId{signal, ChannelId::kDefaultKind}, &dt);
          beats.times.push_back(start + batch[i].tick * dt);
          beats.events.push_back(batch[i]);
        }
      }
    }
    detector.DeleteChannels();
  }
  HRV::HostContext::instance().set_application(nullptr);
  return beats;
}

}  // namespace integration
