// SPDX-License-Identifier: MIT
// The logic of one dialog, with no window in it: the state of every control of its template,
// the reactions to the controls' notifications, the validating numeric edits with their
// warning marks, and what the dialog asks of the window that shows it (close, show another
// dialog over it, open a help topic). The host draws the template from this state.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hrv/core/settings_properties.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/dialogs.h"

namespace HRV {

inline constexpr std::int32_t kOk = 1;
inline constexpr std::int32_t kCancel = 2;
inline constexpr const char16_t* kHelpFile = u"HRVHelp";

class DialogController : public ComObject<IExtensionDialog> {
 public:
  struct Control {
    std::u16string text;
    bool enabled = true;
    bool checked = false;
    bool warning = false;  // indicators
    std::vector<std::u16string> items;
    std::int32_t selection = -1;
    std::int32_t position = 0;
  };

  // Throws HResultError when the library holds no template `templateId`.
  explicit DialogController(std::int32_t templateId);

  // The control's state; throws std::out_of_range for an id the template does not hold.
  const Control& control(std::int32_t id) const { return controls_.at(id); }
  // An edit's warning mark: shown while its text is not a number within its range.
  bool marked(std::int32_t edit) const;
  // The result the dialog closed with (kOk, kCancel), or nothing while it is open.
  std::optional<std::int32_t> result() const noexcept { return result_; }

  // A notification as the host sends it; throws what Notify would turn into a code.
  void notify(std::int32_t control, DialogNotificationCode code, std::int32_t value = 0, std::u16string_view text = {});

  // IExtensionDialog
  HRESULT GetTemplate(const DialogTemplate** dialogTemplate) override;
  HRESULT GetControl(std::int32_t id, DialogControlState* state) override;
  HRESULT GetItem(std::int32_t id, std::int32_t index, BSTR* text) override;
  HRESULT Notify(const DialogNotification* notification) override;
  HRESULT NextRequest(DialogRequest* request) override;
  HRESULT GetPreview(std::int32_t id, DialogPreview* preview) override;

 protected:
  // The reaction to a notification, after the control's own state followed it (an edit
  // holds the new text and its mark, a check box toggled, a radio button checked and its
  // neighbours cleared, a list selected, a slider moved).
  virtual void react(const DialogNotification& n) = 0;
  virtual void fill_preview(std::int32_t id, DialogPreview& preview);

  Control& at(std::int32_t id) { return controls_.at(id); }

  // Numeric edits. An edit accepts a number within its range (shown units: the field's range
  // times its display factor unless set_range said otherwise); an edit of a whole-number
  // field accepts digits only.
  bool valid(std::int32_t edit) const;
  bool all_valid() const;
  // The edit's number when it is valid.
  std::optional<double> number(std::int32_t edit) const;
  // Any number in the edit, in range or not (the band ranges follow what the maximum
  // frequency edit holds even while it is out of range).
  std::optional<double> any_number(std::int32_t edit) const;
  void set_number(std::int32_t edit, double shown);
  void set_range(std::int32_t edit, Range shown);
  // Shows or hides the edit's warning mark from its validity.
  void update_mark(std::int32_t edit);
  // The field an edit shows, from the template; null for none.
  const SettingsProperty* field(std::int32_t edit) const;

  void close(std::int32_t result) { requests_.push_back({DialogRequestClose, result, {}, {}}); result_ = result; }
  void show(ComPtr<DialogController> child) { requests_.push_back({DialogRequestShow, 0, std::move(child), {}}); }
  void help(std::u16string topic) { requests_.push_back({DialogRequestHelp, 0, {}, std::move(topic)}); }
  // The settings-warning message over this dialog: some values are invalid and marked.
  void warn_invalid();

 private:
  struct Request {
    DialogRequestKind kind;
    std::int32_t result;
    ComPtr<DialogController> dialog;
    std::u16string topic;
  };
  struct Edit {
    std::int32_t indicator = 0;
    Range range{};
    bool digitsOnly = false;
    const SettingsProperty* field = nullptr;
  };

  const DialogTemplate* template_;
  std::map<std::int32_t, Control> controls_;
  std::map<std::int32_t, Edit> edits_;
  std::deque<Request> requests_;
  std::optional<std::int32_t> result_;
};

// The number as an edit shows it: up to ten significant digits, so 0.1 × 37 reads 3.7.
std::u16string edit_text(double x);

}  // namespace HRV
