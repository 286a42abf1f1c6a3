// SPDX-License-Identifier: MIT
// HRV::Settings: the settings record of one analysis document, persisted by the host as
// item 0 of the document. The values live in SettingsFields; this class adds the stream,
// the state flags the document and the host storage rely on, and the comparison that
// turns a settings change into a change mask.
#pragma once

#include <cstdint>

#include "hrv/core/settings_fields.h"
#include "sdk/hrv/documents.h"
#include "sdk/cpp/com_object.h"
#include "sdk/property_bag.h"
#include "sdk/stream.h"

namespace HRV {

class Settings final : public ComObject<IPersistStreamInit, IHRVSettings, IPersistPropertyBag>, public SettingsFields {
 public:
  Settings() = default;

  // IPersistStreamInit, called by the host storage.
  HRESULT GetClassID(GUID* classId) override;
  HRESULT IsDirty() override;  // S_OK dirty, S_FALSE clean
  // Reads the current stream (versions 0 to 6) or an earlier-format one (101 to 105).
  // 0xA0048205 for any other newer version, record unchanged; otherwise S_OK, even when
  // the stream is truncated or an earlier-format record could not be read (the record then
  // keeps the values it had).
  HRESULT Load(IByteStream* stream) override;
  // Writes the 220-byte version-6 stream; write errors of the stream are not reported.
  HRESULT Save(IByteStream* stream, VARIANT_BOOL clearDirty) override;
  HRESULT GetSizeMax(std::uint64_t* size) override;  // E_NOTIMPL
  HRESULT InitNew() override;                        // every value and flag back to its default

  // IPersistPropertyBag: the values by field name (settings_properties.h), for settings
  // files and results. A species Preset (0 to 7) in the bag brings that species' detector,
  // classifier and spectrum values before the other named values apply. Load checks every
  // value against its range and the edges' order and changes nothing when one is refused.
  HRESULT Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT Save(IPropertyBag* bag, VARIANT_BOOL clearDirty) override;

  // A new record (reference count 1) with every value and state flag of this one;
  // LoadedVersion starts at 0.
  ComPtr<Settings> Clone() const;

  // Takes the user-editable values of `other`: everything except SourceKind, LoadedVersion
  // and the state flags (SourceKind belongs to the channel the document found, not to the
  // dialog). A null `other` is ignored.
  void Assign(const SettingsFields* other);

  // The change mask for going from this record (old) to `other` (new); 0 for a null other.
  // Low 24 bits: which results to recompute; bits 24-26: detector stage groups to rebuild;
  // all bits: start over (and clear the region).
  std::uint32_t CompareForRecompute(const SettingsFields* other) const;

  // Unsets the analysis region (unless already unset) and marks the record dirty.
  void ResetRegion();

  std::int32_t LoadedVersion = 0;  // stream version found by the last Load
  bool Registered = false;         // handed to (or loaded from) the host's document storage
  bool Loaded = false;             // a Load succeeded
  bool Dirty = false;              // changed since the last Save that cleared it
};

}  // namespace HRV
