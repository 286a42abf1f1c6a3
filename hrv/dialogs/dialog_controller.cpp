// SPDX-License-Identifier: MIT
#include "hrv/dialogs/dialog_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "hrv/resources/dialog_templates.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

VARIANT_BOOL vb(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

// The settings-warning message: its one button closes it.
class SettingsWarning final : public DialogController {
 public:
  SettingsWarning() : DialogController(kSettingsWarningDialogId) {}

 private:
  void react(const DialogNotification& n) override {
    if (n.code == DialogClicked && (n.control == kOk || n.control == kCancel)) close(kOk);
  }
};

}  // namespace

std::u16string edit_text(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", x);
  return utf8_to_utf16(text);
}

DialogController::DialogController(std::int32_t templateId) : template_(FindDialogTemplate(templateId)) {
  if (!template_) throw HResultError(E_INVALIDARG, "no such dialog template");
  std::int32_t lastEdit = 0;
  for (std::int32_t i = 0; i < template_->controlCount; ++i) {
    const DialogControlTemplate& c = template_->controls[i];
    if (c.id == 0) continue;
    Control& state = controls_[c.id];
    state.text = c.text;
    if (c.kind == DialogSlider) state.position = c.min;
    if (c.kind == DialogEdit) {
      lastEdit = c.id;
      Edit& e = edits_[c.id];
      if (c.field && (e.field = find_settings_property(c.field))) {
        e.range = {e.field->min * e.field->shown, e.field->max * e.field->shown};
        e.digitsOnly = !std::holds_alternative<double SettingsFields::*>(e.field->field);
      }
    }
    if (c.kind == DialogIndicator && lastEdit) edits_[lastEdit].indicator = c.id;  // marks the edit before it
  }
}

bool DialogController::marked(std::int32_t edit) const { return controls_.at(edits_.at(edit).indicator).warning; }

void DialogController::notify(std::int32_t control, DialogNotificationCode code, std::int32_t value, std::u16string_view text) {
  const std::u16string copy(text);
  const DialogNotification n{control, code, value, copy.c_str()};
  check_hresult(Notify(&n), "the dialog refused a notification");
}

HRESULT DialogController::GetTemplate(const DialogTemplate** dialogTemplate) {
  if (!dialogTemplate) return E_POINTER;
  *dialogTemplate = template_;
  return S_OK;
}

HRESULT DialogController::GetControl(std::int32_t id, DialogControlState* state) {
  if (!state) return E_POINTER;
  const auto it = controls_.find(id);
  if (it == controls_.end()) return E_INVALIDARG;
  const Control& c = it->second;
  *state = {vb(c.enabled), vb(c.checked), vb(c.warning), 0, c.selection, c.position, static_cast<std::int32_t>(c.items.size()),
            SysAllocStringLen(c.text.data(), static_cast<std::uint32_t>(c.text.size()))};
  return state->text ? S_OK : E_OUTOFMEMORY;
}

HRESULT DialogController::GetItem(std::int32_t id, std::int32_t index, BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  const auto it = controls_.find(id);
  if (it == controls_.end() || index < 0 || index >= static_cast<std::int32_t>(it->second.items.size())) return E_INVALIDARG;
  const std::u16string& item = it->second.items[static_cast<std::size_t>(index)];
  *text = SysAllocStringLen(item.data(), static_cast<std::uint32_t>(item.size()));
  return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT DialogController::Notify(const DialogNotification* n) {
  return guard([&] {
    if (!n) return E_POINTER;
    const auto it = controls_.find(n->control);
    if (it == controls_.end() && n->code != DialogChildClosed) return E_INVALIDARG;
    if (it != controls_.end()) {
      Control& c = it->second;
      if (!c.enabled) return S_FALSE;  // a disabled control sends nothing
      const DialogControlTemplate* t =
          std::find_if(template_->controls, template_->controls + template_->controlCount, [&](const auto& x) { return x.id == n->control; });
      switch (n->code) {
        case DialogTextChanged:
          c.text = n->text ? n->text : u"";
          if (edits_.count(n->control)) update_mark(n->control);
          break;
        case DialogClicked:
          if (t->kind == DialogCheck) c.checked = !c.checked;
          if (t->kind == DialogRadio) {
            // The radio buttons next to each other in the template form one group.
            const auto* first = t;
            while (first > template_->controls && (first - 1)->kind == DialogRadio) --first;
            for (const auto* r = first; r < template_->controls + template_->controlCount && r->kind == DialogRadio; ++r)
              controls_[r->id].checked = r == t;
          }
          break;
        case DialogSelected:
          if (n->value < -1 || n->value >= static_cast<std::int32_t>(c.items.size())) return E_INVALIDARG;
          c.selection = n->value;
          break;
        case DialogSliding:
        case DialogSlid:
          c.position = std::clamp(n->value, t->min, t->max);
          break;
        default:
          break;
      }
    }
    react(*n);
    return S_OK;
  });
}

HRESULT DialogController::NextRequest(DialogRequest* request) {
  if (!request) return E_POINTER;
  *request = {};
  if (requests_.empty()) return S_FALSE;
  Request r = std::move(requests_.front());
  requests_.pop_front();
  request->kind = r.kind;
  request->result = r.result;
  if (r.dialog) request->dialog = static_cast<IExtensionDialog*>(r.dialog.detach());
  if (r.kind == DialogRequestHelp) {
    request->file = SysAllocString(kHelpFile);
    request->text = SysAllocStringLen(r.topic.data(), static_cast<std::uint32_t>(r.topic.size()));
  }
  return S_OK;
}

HRESULT DialogController::GetPreview(std::int32_t id, DialogPreview* preview) {
  return guard([&] {
    if (!preview) return E_POINTER;
    *preview = {};
    if (!controls_.count(id)) return E_INVALIDARG;
    fill_preview(id, *preview);
    return S_OK;
  });
}

void DialogController::fill_preview(std::int32_t, DialogPreview&) { throw HResultError(E_INVALIDARG, "no preview"); }

std::optional<double> DialogController::any_number(std::int32_t edit) const {
  const Edit& e = edits_.at(edit);
  const std::string text = utf16_to_utf8(controls_.at(edit).text);
  const auto first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  const std::string trimmed = text.substr(first, last - first + 1);
  if (e.digitsOnly && trimmed.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  char* end = nullptr;
  const double x = std::strtod(trimmed.c_str(), &end);
  if (end != trimmed.c_str() + trimmed.size() || !std::isfinite(x)) return std::nullopt;
  return x;
}

std::optional<double> DialogController::number(std::int32_t edit) const {
  const auto x = any_number(edit);
  if (!x || !edits_.at(edit).range.contains(*x)) return std::nullopt;
  return x;
}

bool DialogController::valid(std::int32_t edit) const { return number(edit).has_value(); }

bool DialogController::all_valid() const {
  return std::all_of(edits_.begin(), edits_.end(), [&](const auto& e) { return valid(e.first); });
}

void DialogController::set_number(std::int32_t edit, double shown) {
  at(edit).text = edit_text(shown);
  update_mark(edit);
}

void DialogController::set_range(std::int32_t edit, Range shown) {
  edits_.at(edit).range = shown;
  update_mark(edit);
}

void DialogController::update_mark(std::int32_t edit) {
  if (const std::int32_t indicator = edits_.at(edit).indicator) at(indicator).warning = !valid(edit);
}

const SettingsProperty* DialogController::field(std::int32_t edit) const { return edits_.at(edit).field; }

void DialogController::warn_invalid() { show(make_com<SettingsWarning>()); }

}  // namespace HRV
