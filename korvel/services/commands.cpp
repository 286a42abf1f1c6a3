// SPDX-License-Identifier: MIT
#include "korvel/services/commands.h"

#include "korvel/services/session.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/menus.h"

namespace korvel::services {
namespace {

// Valid only while one update query runs: a document that keeps it hears E_UNEXPECTED.
class CommandUpdate final : public ComObject<ICommandUpdate> {
 public:
  explicit CommandUpdate(CommandState& state) : state_(&state) {}
  void expire() noexcept { state_ = nullptr; }

  HRESULT SetEnabled(VARIANT_BOOL enabled) override {
    if (!state_) return E_UNEXPECTED;
    state_->enabled = enabled != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT SetCheck(std::uint32_t value, std::uint32_t mask) override {
    if (!state_) return E_UNEXPECTED;
    state_->checked = (value & mask) == 1;
    return S_OK;
  }
  HRESULT SetText(const char16_t* text) override {
    if (!state_) return E_UNEXPECTED;
    if (!text) return E_POINTER;
    return guard([&] {
      state_->text = utf16_to_utf8(text);
      return S_OK;
    });
  }

 private:
  CommandState* state_;
};

class NativeMenu final : public ComObject<INativeMenu> {
 public:
  HRESULT RemoveAll() override {
    entries.clear();
    return S_OK;
  }
  HRESULT Append(std::uint32_t itemId, const char16_t* text) override {
    if (!text) return E_POINTER;
    return guard([&] {
      entries.emplace_back(itemId, utf16_to_utf8(text));
      return S_OK;
    });
  }
  std::vector<std::pair<std::uint32_t, std::string>> entries;
};

// The command targets of the active document, in order; a document closing meanwhile
// keeps its target alive until the caller is done.
std::vector<ComPtr<ICommandTarget>> targets(Session& session) {
  std::vector<ComPtr<ICommandTarget>> out;
  if (DocumentFrame* frame = session.active())
    for (const auto& e : frame->extensions())
      if (auto target = e.document.query<ICommandTarget>()) out.push_back(std::move(target));
  return out;
}

}  // namespace

CommandState update_command(Session& session, std::uint32_t command_id) {
  CommandState state;
  if (const MenuEntry* item = session.menus().find(command_id)) state.text = item->texts[0];
  if (!session.active()) {
    state.enabled = false;
    return state;
  }
  for (const auto& target : targets(session)) {
    auto update = make_com<CommandUpdate>(state);
    const HRESULT hr = target->Update(command_id, update.get());
    update->expire();
    if (hr == S_OK) {
      state.has_rule = true;
      break;
    }
  }
  return state;
}

HRESULT execute_command(Session& session, std::uint32_t command_id) {
  if (!session.active()) return E_UNEXPECTED;
  for (const auto& target : targets(session))
    if (HRESULT hr = target->Execute(command_id); hr != S_FALSE) return hr;
  return S_FALSE;
}

std::vector<std::pair<std::uint32_t, std::string>> build_popup(Session& session, std::uint32_t command_id) {
  for (const auto& target : targets(session)) {
    auto menu = make_com<NativeMenu>();
    if (target->BuildPopup(command_id, menu.get()) == S_OK) return menu->entries;
  }
  return {};
}

HRESULT choose_popup(Session& session, std::uint32_t command_id, std::uint32_t item_id) {
  for (const auto& target : targets(session))
    if (HRESULT hr = target->DispatchPopup(command_id, item_id); hr != S_FALSE) return hr;
  return S_FALSE;
}

}  // namespace korvel::services
