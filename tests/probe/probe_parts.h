// SPDX-License-Identifier: MIT
// Inside the probe: its module id, the class-object description every class shares, the
// persisted items, and the makers of its objects.
#pragma once

#include <cstdint>
#include <string>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/out_param.h"
#include "sdk/host/application.h"
#include "sdk/host/menus.h"
#include "sdk/stream.h"
#include "tests/probe/probe.h"

namespace probe {

// The module id the host gave kProbeFamily at registration.
std::uint16_t module_id();
inline std::uint32_t type_id(std::uint16_t local) { return (std::uint32_t{module_id()} << 16) | local; }
// The application of the last registration, not owned: the host outlives its documents.
IApplication* application();

// What a class object says about itself; a local type 0 stands for type id 0.
struct ClassInfo {
  const char16_t* display_name;
  const char16_t* internal_name;
  GUID class_id, category;
  std::uint16_t local_type;
  std::uint32_t flags;
};

// A class object: the interface `I`, and IClassObjectInfo from `info`.
template <class I>
class ProbeClass : public ComObject<I, IClassObjectInfo> {
 public:
  explicit ProbeClass(const ClassInfo& info) : info_(info) {}
  HRESULT GetDisplayName(BSTR* name) override { return copy_text(std::u16string_view(info_.display_name), name); }
  HRESULT GetInternalName(BSTR* name) override { return copy_text(std::u16string_view(info_.internal_name), name); }
  HRESULT GetClassId(GUID* id) override { return copy_out(info_.class_id, id); }
  HRESULT GetCategory(GUID* category) override { return copy_out(info_.category, category); }
  HRESULT GetTypeId(std::uint32_t* type) override { return copy_out(info_.local_type ? type_id(info_.local_type) : 0u, type); }
  HRESULT GetFlags(std::uint32_t* flags) override { return copy_out(info_.flags, flags); }

 private:
  ClassInfo info_;
};

// A class object that is a factory (`F` derives from IClassFactory); plain CreateInstance
// answers E_NOTIMPL unless a class overrides it.
template <class F>
class ProbeFactory : public ProbeClass<F> {
 public:
  using ProbeClass<F>::ProbeClass;
  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
};

// A persisted item: the tag "PRB1", the payload size, the payload. Load refuses another
// tag, a short stream and a payload `accept` refuses (E_FAIL), and keeps its state then.
// InitNew starts it from `initial`. The note's payload is its text; the counter's one
// int32, not negative.
class Item final : public ComObject<IPersistStreamInit> {
 public:
  Item(const GUID& class_id, std::string initial, bool (*accept)(const std::string&))
      : class_id_(class_id), initial_(initial), accept_(accept), payload_(std::move(initial)) {}
  bool loaded() const noexcept { return loaded_; }
  const std::string& payload() const noexcept { return payload_; }
  void set(std::string payload) { payload_ = std::move(payload), dirty_ = true; }

  HRESULT GetClassID(GUID* id) override { return copy_out(class_id_, id); }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(IByteStream* stream) override;
  HRESULT Save(IByteStream* stream, VARIANT_BOOL clearDirty) override;
  HRESULT GetSizeMax(std::uint64_t*) override { return E_NOTIMPL; }
  HRESULT InitNew() override;

 private:
  GUID class_id_;
  std::string initial_;
  bool (*accept_)(const std::string&);
  std::string payload_;
  bool dirty_ = false, loaded_ = false;
};

ComPtr<Item> make_note();
ComPtr<Item> make_counter();
std::int32_t count_of(const Item& counter);
void count_up(Item& counter);
ComPtr<IExtensionStrings> make_strings();
ComPtr<IMessageClass> make_count_message_class();
ComPtr<IUnknown> make_document_class();

}  // namespace probe
