// SPDX-License-Identifier: MIT
// The persisted items, the menu strings and the macro command of the probe document.
#include <cstring>
#include <map>

#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "tests/probe/probe_parts.h"

namespace probe {
namespace {

constexpr std::uint32_t kTag = 0x31425250;  // "PRB1"

}  // namespace

HRESULT Item::Load(IByteStream* stream) {
  if (!stream) return E_POINTER;
  return guard([&] {
    BinaryReader in(stream);
    std::uint32_t tag = 0, size = 0;
    if (!in.read(tag) || tag != kTag || !in.read(size) || size > (1u << 20)) return E_FAIL;
    std::string payload(size, '\0');
    if (!in.read_bytes(payload.data(), size) || !accept_(payload)) return E_FAIL;
    payload_ = std::move(payload);
    dirty_ = false;
    loaded_ = true;
    return S_OK;
  });
}

HRESULT Item::Save(IByteStream* stream, VARIANT_BOOL clearDirty) {
  if (!stream) return E_POINTER;
  return guard([&] {
    const std::string& payload = payload_;
    BinaryWriter out(stream);
    out.write(kTag);
    out.write(static_cast<std::uint32_t>(payload.size()));
    out.write_bytes(payload.data(), static_cast<std::uint32_t>(payload.size()));
    if (out.failed()) return E_FAIL;
    if (clearDirty != VARIANT_FALSE) dirty_ = false;
    return S_OK;
  });
}

HRESULT Item::InitNew() {
  payload_ = initial_;
  dirty_ = loaded_ = false;
  return S_OK;
}

ComPtr<Item> make_note() {
  return make_com<Item>(kNoteClassId, "", [](const std::string&) { return true; });
}
ComPtr<Item> make_counter() {
  return make_com<Item>(kCounterClassId, std::string(4, '\0'), [](const std::string& payload) {
    std::int32_t v = 0;
    return payload.size() == sizeof v && (std::memcpy(&v, payload.data(), sizeof v), v >= 0);
  });
}
std::int32_t count_of(const Item& counter) {
  std::int32_t v = 0;
  std::memcpy(&v, counter.payload().data(), sizeof v);
  return v;
}
void count_up(Item& counter) {
  const std::int32_t v = count_of(counter) + 1;
  counter.set(std::string(reinterpret_cast<const char*>(&v), sizeof v));
}

namespace {

class Strings final : public ComObject<IExtensionStrings> {
 public:
  HRESULT GetString(std::uint32_t id, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    static const std::map<std::uint32_t, std::string> table = {
        {1, "&Count"}, {2, "Count"}, {3, "Count the selection"}, {4, "&Toggle"}, {7, "&Report"}, {10, "Probe"},
        {11, "&Views"}, {14, "&Open View"}, {41, "First View"}, {42, "Second View"},
    };
    const auto it = table.find(id);
    return it == table.end() ? S_FALSE : copy_text(it->second, text);
  }
};

class CountMessageClass final : public ComObject<IMessageClass> {
 public:
  HRESULT GetPrefix(BSTR* prefix) override { return copy_text(std::string_view("PRB"), prefix); }
  HRESULT GetName(BSTR* name) override { return copy_text(std::string_view("Probe_Count"), name); }
  HRESULT GetDescription(BSTR* text) override { return copy_text(std::string_view("Counts"), text); }
  HRESULT GetMessageType(std::uint32_t* type) override { return copy_out(type_id(kCountMessage), type); }
  // No named arguments and at most one positional one, which becomes the text.
  HRESULT ParseArguments(std::uint32_t named, const BSTR* positional, std::uint32_t count, BSTR* text) override {
    if (text) *text = nullptr;
    if (named != 0 || count > 1) return DISP_E_BADPARAMCOUNT;
    if (count == 0) return S_OK;
    if (!positional || !text) return E_POINTER;
    return copy_text(std::u16string_view(positional[0], SysStringLen(positional[0])), text);
  }
};

}  // namespace

ComPtr<IExtensionStrings> make_strings() { return ComPtr<IExtensionStrings>::adopt(make_com<Strings>().detach()); }
ComPtr<IMessageClass> make_count_message_class() { return ComPtr<IMessageClass>::adopt(make_com<CountMessageClass>().detach()); }

}  // namespace probe
