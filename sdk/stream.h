// SPDX-License-Identifier: MIT
// Byte streams and objects that persist themselves into them (the host keeps a document's
// persisted items as such streams). Values inside streams are little-endian; the typed
// reader and writer in sdk/cpp/binary_stream.h produce and consume that layout.
// Threads: every operation of a stream and of a persisting object is called on the host's
// user-interface thread, by the host when it saves or loads a document.
#pragma once

#include <cstdint>

#include "sdk/unknown.h"

struct IByteStream : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0C733A30-2A1C-11CE-ADE5-00AA0044773D}");

  // Implemented by the host (and by the memory stream helper). Reads up to `size` bytes
  // into `buffer` (out); `read` (out, may be null) receives the count. S_OK when all bytes
  // were read, S_FALSE when the stream ended first.
  virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
  // Writes `size` bytes from `buffer` (in) at the current position; `written` may be null.
  virtual HRESULT Write(const void* buffer, ULONG size, ULONG* written) = 0;
  // origin: 0 start, 1 current, 2 end. `position` (out, may be null) is the new position.
  virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position) = 0;
  virtual HRESULT GetSize(std::uint64_t* size) = 0;

 protected:
  ~IByteStream() = default;
};

struct IPersist : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{0000010C-0000-0000-C000-000000000046}");

  // Implemented by persisted objects. `classId` (out).
  virtual HRESULT GetClassID(GUID* classId) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistStreamInit : IPersist {
  using base_interface = IPersist;
  static constexpr GUID iid = make_guid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");

  // Implemented by persisted objects; called by the host's storage.
  virtual HRESULT IsDirty() = 0;                                  // S_OK dirty, S_FALSE clean
  virtual HRESULT Load(IByteStream* stream) = 0;                  // stream (in)
  virtual HRESULT Save(IByteStream* stream, VARIANT_BOOL clearDirty) = 0;
  virtual HRESULT GetSizeMax(std::uint64_t* size) = 0;
  virtual HRESULT InitNew() = 0;

 protected:
  ~IPersistStreamInit() = default;
};
