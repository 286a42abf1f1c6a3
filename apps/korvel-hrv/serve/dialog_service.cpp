// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/dialog_service.h"

#include "apps/korvel-hrv/serve/workspace.h"
#include "sdk/cpp/utf.h"

namespace korvel_hrv {

namespace {

std::string text_of(BSTR text) {
  Bstr owned = Bstr::adopt(text);
  return owned.get() ? owned.utf8() : std::string();
}

std::string utf8(const char16_t* text) { return text ? utf16_to_utf8(text) : std::string(); }

}  // namespace

HRESULT DialogService::ShowModal(IExtensionDialog* dialog, std::int32_t* result) {
  if (!dialog || !result) return E_POINTER;
  *result = 2;
  if (!host_.run_until) return E_NOTIMPL;
  const std::size_t level = open_.size();
  open_.push_back({ComPtr<IExtensionDialog>::retain(dialog)});
  host_.changed();
  const bool closed = host_.run_until([&] { return open_.size() > level && open_[level].result != 0; });
  if (closed) *result = open_[level].result;
  open_.resize(level);  // and any dialog still over it, when the host stops
  host_.changed();
  return S_OK;
}

void DialogService::take_requests() {
  DialogRequest r;
  while (!open_.empty() && open_.back().result == 0 && open_.back().dialog->NextRequest(&r) == S_OK) {
    ComPtr<IUnknown> child = ComPtr<IUnknown>::adopt(r.dialog);
    const std::string topic = text_of(r.text);
    SysFreeString(r.file);
    if (r.kind == DialogRequestClose) {
      open_.back().result = r.result;
      if (!open_.back().child) return;  // ShowModal's wait ends
      open_.pop_back();
      const DialogNotification closed{0, DialogChildClosed, r.result, nullptr};
      open_.back().dialog->Notify(&closed);
    } else if (r.kind == DialogRequestShow && child) {
      if (auto dialog = child.query<IExtensionDialog>()) open_.push_back({std::move(dialog), true});
    } else if (r.kind == DialogRequestHelp) {
      help_ = topic;
      ++helpCount_;
    }
  }
}

void DialogService::notify(std::size_t dialog, const DialogNotification& notification) {
  if (open_.empty() || dialog != open_.size() - 1 || open_.back().result != 0)
    throw RequestError(409, "dialog " + std::to_string(dialog) + " is not the one in front");
  const HRESULT hr = open_.back().dialog->Notify(&notification);
  if (hr == E_INVALIDARG) throw RequestError(400, "the dialog has no control " + std::to_string(notification.control));
  if (FAILED(hr)) throw RequestError(500, "the dialog failed to take the notification");
  take_requests();
  if (host_.changed) host_.changed();
}

std::optional<DialogPreview> DialogService::preview(std::int32_t control) const {
  DialogPreview p;
  if (open_.empty() || open_.back().dialog->GetPreview(control, &p) != S_OK) return std::nullopt;
  return p;
}

nlohmann::json DialogService::state() const {
  nlohmann::json dialogs = nlohmann::json::array();
  for (const Open& open : open_) {
    if (open.result != 0) continue;
    IExtensionDialog& d = *open.dialog;
    const DialogTemplate* t = nullptr;
    if (d.GetTemplate(&t) != S_OK || !t) continue;
    nlohmann::json controls = nlohmann::json::array();
    std::optional<std::int32_t> previewPane;
    for (std::int32_t i = 0; i < t->controlCount; ++i) {
      const DialogControlTemplate& c = t->controls[i];
      nlohmann::json control = {{"id", c.id}, {"kind", c.kind}, {"x", c.x}, {"y", c.y}, {"width", c.width},
                                {"height", c.height}, {"text", utf8(c.text)}, {"min", c.min}, {"max", c.max}};
      DialogControlState s{};
      if (c.id != 0 && d.GetControl(c.id, &s) == S_OK) {
        control["text"] = text_of(s.text);
        control["enabled"] = s.enabled != 0;
        control["checked"] = s.checked != 0;
        control["warning"] = s.warning != 0;
        control["selection"] = s.selection;
        control["position"] = s.position;
        nlohmann::json items = nlohmann::json::array();
        for (std::int32_t k = 0; k < s.itemCount; ++k) {
          BSTR item = nullptr;
          d.GetItem(c.id, k, &item);
          items.push_back(text_of(item));
        }
        control["items"] = std::move(items);
      }
      if (c.kind == DialogPreviewPane) previewPane = c.id;
      controls.push_back(std::move(control));
    }
    nlohmann::json entry = {{"id", t->id}, {"title", utf8(t->title)}, {"width", t->width}, {"height", t->height},
                            {"controls", std::move(controls)}};
    DialogPreview p{};
    if (previewPane && d.GetPreview(*previewPane, &p) == S_OK) {
      entry["preview"] = {{"control", *previewPane}, {"generation", p.generation}, {"source", p.source.index},
                          {"events", p.events.found() ? nlohmann::json(p.events.index) : nlohmann::json()},
                          {"trace", p.trace.found() ? nlohmann::json(p.trace.index) : nlohmann::json()},
                          {"trace_bottom", p.traceBottom}, {"trace_top", p.traceTop}, {"trace_unit", text_of(p.traceUnit)},
                          {"source_colour", p.sourceColour}};
    }
    dialogs.push_back(std::move(entry));
  }
  return {{"open", std::move(dialogs)}, {"help", help_}, {"help_count", helpCount_}};
}

}  // namespace korvel_hrv
