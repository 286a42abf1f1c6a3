// SPDX-License-Identifier: MIT
// HRV::Data: the analysis data that the host keeps with a document (persisted item 1): the
// user's beat edits, plus the loaded, registered and dirty flags. Streams of the earlier
// format carried the analysis region here instead, which Load copies into the settings.
#pragma once

#include <cstdint>

#include "hrv/core/settings_fields.h"
#include "hrv/core/user_event_data.h"
#include "sdk/cpp/com_object.h"
#include "sdk/stream.h"

namespace HRV {

class Data final : public ComObject<IPersistStreamInit> {
 public:
  static constexpr std::int32_t kStreamVersion = 6;
  static constexpr std::int32_t kEarlierFormatVersion = 0x10007;

  // `settings` are the values of the document's settings object, which Load writes an
  // earlier-format region into; `settingsOwner` is that object and is held so the values
  // outlive this one (it may be null when the caller guarantees that itself, as tests do).
  // HRV::Settings is both: pass its identity and the object itself.
  Data(ComPtr<IUnknown> settingsOwner, SettingsFields& settings);

  // IPersist / IPersistStreamInit
  HRESULT GetClassID(GUID* classId) override;
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(IByteStream* stream) override;
  HRESULT Save(IByteStream* stream, VARIANT_BOOL clearDirty) override;
  HRESULT GetSizeMax(std::uint64_t*) override { return E_NOTIMPL; }
  HRESULT InitNew() override;

  // The document's edits; the document attaches this object to the host's chart data.
  UserEventData& user_events() const noexcept { return *user_events_; }

  bool loaded() const noexcept { return loaded_; }
  // Set once the object has been handed to the host's document storage.
  bool registered() const noexcept { return registered_; }
  void set_registered() noexcept { registered_ = true; }
  // The document marks the edits changed through here.
  void set_dirty() noexcept { dirty_ = true; }

 private:
  ComPtr<IUnknown> settings_owner_;
  SettingsFields& settings_;
  ComPtr<UserEventData> user_events_;
  bool loaded_ = false;
  bool registered_ = false;
  bool dirty_ = false;
};

}  // namespace HRV
