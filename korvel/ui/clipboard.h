// SPDX-License-Identifier: MIT
// The host's clipboard: one block of bytes per format name. Nothing leaves the process;
// tools and tests read what was copied through the plain accessors.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/clipboard.h"

namespace korvel::ui {

class Clipboard final : public ComObject<IClipboard> {
 public:
  // By format name (UTF-8), in name order.
  const std::map<std::string, std::vector<std::uint8_t>>& formats() const noexcept { return formats_; }
  std::optional<std::vector<std::uint8_t>> data(const std::string& format) const;
  // The UnicodeText format as UTF-8, without its terminating zero; nothing when absent.
  std::optional<std::string> text() const;

  HRESULT Empty() override;
  HRESULT SetData(const char16_t* format, const void* data, ULONG size) override;
  HRESULT GetData(const char16_t* format, IByteStream** data) override;

 private:
  std::map<std::string, std::vector<std::uint8_t>> formats_;
};

}  // namespace korvel::ui
