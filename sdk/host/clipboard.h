// SPDX-License-Identifier: MIT
// The host's clipboard: data kept under format names, each format one block of bytes.
// Reached through IHostServices::GetService(IClipboard::iid). Calls come on the host's
// user-interface thread.
#pragma once

#include "sdk/stream.h"
#include "sdk/unknown.h"

// UTF-16 text, with its terminating zero.
inline constexpr char16_t kClipboardUnicodeText[] = u"UnicodeText";
// HTML with its "Version:0.9" header of byte offsets, UTF-8, with a terminating zero.
inline constexpr char16_t kClipboardHtml[] = u"HTML Format";

// Implemented by the host.
struct IClipboard : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{02EDFDF3-4B6C-43A0-B6D0-F425332B208E}");

  // Removes every format.
  virtual HRESULT Empty() = 0;
  // Puts `size` bytes of `data` (in) under `format` (in), replacing what that format held;
  // other formats stay (a copy in two formats empties first, then sets both). E_POINTER for
  // a null format, or null data with a size; E_INVALIDARG for an empty format name.
  virtual HRESULT SetData(const char16_t* format, const void* data, ULONG size) = 0;
  // A new stream (out) over the bytes under `format` (in). S_FALSE and null when the
  // clipboard holds no such format.
  virtual HRESULT GetData(const char16_t* format, IByteStream** data) = 0;

 protected:
  ~IClipboard() = default;
};
