// SPDX-License-Identifier: MIT
#include "korvel/ui/clipboard.h"

#include <cstring>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"

namespace korvel::ui {

std::optional<std::vector<std::uint8_t>> Clipboard::data(const std::string& format) const {
  auto it = formats_.find(format);
  if (it == formats_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> Clipboard::text() const {
  auto bytes = data(utf16_to_utf8(kClipboardUnicodeText));
  if (!bytes) return std::nullopt;
  std::u16string chars(bytes->size() / 2, u'\0');
  std::memcpy(chars.data(), bytes->data(), chars.size() * 2);
  if (!chars.empty() && chars.back() == u'\0') chars.pop_back();
  return utf16_to_utf8(chars);
}

HRESULT Clipboard::Empty() {
  formats_.clear();
  return S_OK;
}

HRESULT Clipboard::SetData(const char16_t* format, const void* data, ULONG size) {
  if (!format || (!data && size > 0)) return E_POINTER;
  return guard([&] {
    const std::string name = utf16_to_utf8(format);
    if (name.empty()) return E_INVALIDARG;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    formats_[name] = std::vector<std::uint8_t>(bytes, bytes + size);
    return S_OK;
  });
}

HRESULT Clipboard::GetData(const char16_t* format, IByteStream** data) {
  if (!format || !data) return E_POINTER;
  *data = nullptr;
  return guard([&] {
    auto it = formats_.find(utf16_to_utf8(format));
    if (it == formats_.end()) return S_FALSE;
    *data = make_com<MemoryStream>(it->second).detach();
    return S_OK;
  });
}

}  // namespace korvel::ui
