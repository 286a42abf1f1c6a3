// SPDX-License-Identifier: MIT
#include "tests/probe/probe_items.h"

#include <cstring>
#include <map>
#include <vector>

#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "tests/probe/probe_document.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {

constexpr std::uint32_t kTag = 0x31425250;  // "PRB1"
constexpr std::uint32_t kMaxPayload = 1u << 20;

HRESULT text_out(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = Bstr(text).detach();
  return S_OK;
}

}  // namespace

HRESULT Item::GetClassID(GUID* classId) {
  if (!classId) return E_POINTER;
  *classId = class_id_;
  return S_OK;
}

HRESULT Item::Load(IByteStream* stream) {
  if (!stream) return E_POINTER;
  return guard([&] {
    BinaryReader in(stream);
    std::uint32_t tag = 0, size = 0;
    if (!in.read(tag) || tag != kTag || !in.read(size) || size > kMaxPayload) return E_FAIL;
    std::string payload(size, '\0');
    if (!in.read_bytes(payload.data(), size) || !decode(payload)) return E_FAIL;
    dirty_ = false;
    loaded_ = true;
    return S_OK;
  });
}

HRESULT Item::Save(IByteStream* stream, VARIANT_BOOL clearDirty) {
  if (!stream) return E_POINTER;
  return guard([&] {
    const std::string payload = encode();
    BinaryWriter out(stream);
    out.write(kTag);
    out.write(static_cast<std::uint32_t>(payload.size()));
    out.write_bytes(payload.data(), static_cast<std::uint32_t>(payload.size()));
    if (out.failed()) return E_FAIL;
    if (clearDirty != VARIANT_FALSE) dirty_ = false;
    return S_OK;
  });
}

HRESULT Item::GetSizeMax(std::uint64_t* size) {
  if (!size) return E_POINTER;
  *size = 8 + encode().size();
  return S_OK;
}

HRESULT Item::InitNew() {
  reset();
  dirty_ = false;
  loaded_ = false;
  return S_OK;
}

Note::Note() : Item(kNoteClassId) {}

bool Note::decode(const std::string& payload) {
  text_ = payload;
  return true;
}

Counter::Counter() : Item(kCounterClassId) {}

std::string Counter::encode() const {
  std::string out(sizeof value_, '\0');
  std::memcpy(out.data(), &value_, sizeof value_);
  return out;
}

bool Counter::decode(const std::string& payload) {
  std::int32_t v = 0;
  if (payload.size() != sizeof v) return false;
  std::memcpy(&v, payload.data(), sizeof v);
  if (v < 0) return false;
  value_ = v;
  return true;
}

ScaledSettings::ScaledSettings() : Item(kScaledSettingsClassId) {}

std::string ScaledSettings::encode() const {
  std::string out(8, '\0');
  const std::int32_t guides = guides_ ? 1 : 0;
  std::memcpy(out.data(), &factor_, 4);
  std::memcpy(out.data() + 4, &guides, 4);
  return out;
}

bool ScaledSettings::decode(const std::string& payload) {
  std::int32_t factor = 0, guides = 0;
  if (payload.size() != 8) return false;
  std::memcpy(&factor, payload.data(), 4);
  std::memcpy(&guides, payload.data() + 4, 4);
  if (factor < 1 || (guides != 0 && guides != 1)) return false;
  factor_ = factor;
  guides_ = guides == 1;
  return true;
}

namespace {

class Strings final : public ComObject<IExtensionStrings> {
 public:
  HRESULT GetString(std::uint32_t id, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    static const std::map<std::uint32_t, std::string> table = {
        {1, "&Count"},  {2, "Count"},  {3, "Count the selection"},
        {4, "&Toggle"}, {5, "Toggle"}, {6, "Toggle the mark"},
        {7, "&Report"}, {8, "Report"}, {9, "Report the count"},
        {10, "Probe"},
        {11, "&Views"}, {12, "Views"}, {13, "Views"},
        {14, "&Open View"}, {15, "Open View"}, {16, "Open the probe view"},
        {41, "First View"}, {42, "Second View"},
    };
    auto it = table.find(id);
    if (it == table.end()) return S_FALSE;
    return text_out(it->second, text);
  }
};

class CountMessageClass final : public ComObject<IMessageClass> {
 public:
  HRESULT GetPrefix(BSTR* prefix) override { return text_out("PRB", prefix); }
  HRESULT GetName(BSTR* name) override { return text_out("Probe_Count", name); }
  HRESULT GetDescription(BSTR* description) override { return text_out("Counts the selection of the probe document", description); }
  HRESULT GetMessageType(std::uint32_t* type) override {
    if (!type) return E_POINTER;
    *type = (std::uint32_t{module_id()} << 16) | kCountMessage;
    return S_OK;
  }
  // No named arguments and at most one positional one, which becomes the text.
  HRESULT ParseArguments(std::uint32_t named, const BSTR* positional, std::uint32_t count, BSTR* text) override {
    if (text) *text = nullptr;
    if (named != 0 || count > 1) return DISP_E_BADPARAMCOUNT;
    if (count == 1) {
      if (!positional || !text) return E_POINTER;
      *text = SysAllocStringLen(positional[0], SysStringLen(positional[0]));
    }
    return S_OK;
  }
};

}  // namespace

ComPtr<IExtensionStrings> make_strings() { return ComPtr<IExtensionStrings>::adopt(make_com<Strings>().detach()); }
ComPtr<IMessageClass> make_count_message_class() { return ComPtr<IMessageClass>::adopt(make_com<CountMessageClass>().detach()); }

}  // namespace probe
