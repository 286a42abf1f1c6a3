// SPDX-License-Identifier: MIT
// Dialogs: an extension's dialog is a template (a resource of the extension: its controls
// with ids, texts, places and ranges) and a controller that holds all of the dialog's logic
// and state. The host draws the template, shows the controller's state and hands it every
// notification of the controls; the controller never sees a window.
// Threads: every operation is called on the host's user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/strings.h"
#include "sdk/types.h"
#include "sdk/unknown.h"

enum DialogControlKind : std::int32_t {
  DialogGroup = 1,     // a labelled frame
  DialogLabel = 2,     // static text
  DialogEdit = 3,      // a one-line edit
  DialogCheck = 4,     // a check box
  DialogRadio = 5,     // a radio button (the radio buttons of a group exclude each other)
  DialogList = 6,      // a drop-down list
  DialogButton = 7,    // a push button; id 1 is OK, id 2 Cancel
  DialogSlider = 8,    // a track bar from min to max, no ticks
  DialogUpDown = 9,    // up-down arrows beside the control before it, min to max
  DialogIndicator = 10,  // the warning mark of an edit, shown while that edit is invalid
  DialogWarningIcon = 11,  // the warning mark drawn as a picture (in message texts)
  DialogPreviewPane = 12,  // draws channels of the host document (DialogPreview)
};

// One control. Frozen: 40 bytes. Positions and sizes in dialog units (a quarter of the
// font's average character width, an eighth of its height).
struct DialogControlTemplate {
  std::int32_t id;    // 0 for frames and labels nobody addresses
  std::int32_t kind;  // DialogControlKind
  std::int16_t x, y, width, height;
  std::int32_t min, max;       // slider and up-down range; 0 otherwise
  const char16_t* text;        // label, caption or initial text; never null
  const char16_t* field;       // an edit's settings field (its accepted range), or null
};
static_assert(sizeof(DialogControlTemplate) == 40 && offsetof(DialogControlTemplate, text) == 24);

// A dialog resource. Frozen: 40 bytes. Lives as long as the library that holds it.
struct DialogTemplate {
  std::int32_t id;
  std::int16_t width, height;  // dialog units
  const char16_t* title;
  const char16_t* font;
  std::int32_t fontPoints;
  std::int32_t controlCount;
  const DialogControlTemplate* controls;  // in tab order
};
static_assert(sizeof(DialogTemplate) == 40 && offsetof(DialogTemplate, controls) == 32);

// A control as the controller has it now.
struct DialogControlState {
  VARIANT_BOOL enabled;
  VARIANT_BOOL checked;    // check boxes and radio buttons
  VARIANT_BOOL warning;    // indicators: shown
  std::int16_t reserved;
  std::int32_t selection;  // lists: the entry selected, -1 for none
  std::int32_t position;   // sliders
  std::int32_t itemCount;  // lists
  BSTR text;               // edits and labels (out: caller frees)
};

enum DialogNotificationCode : std::int32_t {
  DialogTextChanged = 1,   // an edit's text is now `text`
  DialogClicked = 2,       // a button, check box or radio button
  DialogSelected = 3,      // a list's selection is now `value`
  DialogSliding = 4,       // a slider is dragged to `value`
  DialogSlid = 5,          // a slider was released at `value`
  DialogStepped = 6,       // up-down arrows clicked `value` steps (negative: down)
  DialogChildClosed = 7,   // the dialog this one asked for closed; `value` is its result
};

struct DialogNotification {
  std::int32_t control;
  std::int32_t code;  // DialogNotificationCode
  std::int32_t value;
  const char16_t* text;  // DialogTextChanged; may be null otherwise
};

enum DialogRequestKind : std::int32_t {
  DialogRequestClose = 1,  // end the dialog with `result` (1 OK, 2 Cancel)
  DialogRequestShow = 2,   // show `dialog` modally over this one; tell DialogChildClosed when it ends
  DialogRequestHelp = 3,   // open help topic `text` of help file `file`
};

struct DialogRequest {
  std::int32_t kind;    // DialogRequestKind
  std::int32_t result;  // close
  IUnknown* dialog;     // show: an IExtensionDialog, with a reference for the caller
  BSTR file;            // help (out: caller frees)
  BSTR text;            // help topic (out: caller frees)
};

// What a preview pane draws: the source channel's trace with the events of `events` marked
// on it, and `trace` under it on a fixed scale.
struct DialogPreview {
  ChannelId source;
  std::uint32_t sourceColour;  // 0x00BBGGRR
  ChannelId events;            // not found: nothing marked
  ChannelId trace;
  double traceBottom, traceTop;
  std::uint32_t generation;    // changes whenever the preview was rebuilt
  std::int32_t reserved;
  BSTR traceUnit;              // out: caller frees
};

// Implemented by the extension.
struct IExtensionDialog : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{7A3F1C52-0B6E-4E8D-9A47-5C2D1E8F9B30}");

  // The template (out), owned by the extension.
  virtual HRESULT GetTemplate(const DialogTemplate** dialogTemplate) = 0;
  // The state of control `id` (out); E_INVALIDARG for an id the template does not hold.
  virtual HRESULT GetControl(std::int32_t id, DialogControlState* state) = 0;
  // Entry `index` of list `id` (out: caller frees).
  virtual HRESULT GetItem(std::int32_t id, std::int32_t index, BSTR* text) = 0;
  // A control's notification; the host then reads the states again and takes the requests.
  virtual HRESULT Notify(const DialogNotification* notification) = 0;
  // The oldest request not taken yet (out); S_FALSE when there is none.
  virtual HRESULT NextRequest(DialogRequest* request) = 0;
  // What preview pane `id` draws (out).
  virtual HRESULT GetPreview(std::int32_t id, DialogPreview* preview) = 0;

 protected:
  ~IExtensionDialog() = default;
};

// Implemented by the host, reached through IHostServices::GetService.
struct IDialogService : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{1E5B7D90-3C2A-4F61-8E0D-6B9A2C4F7D18}");

  // Shows `dialog` modally and returns when it closed (out: 1 OK, 2 Cancel). E_NOTIMPL
  // when this host shows no dialogs.
  virtual HRESULT ShowModal(IExtensionDialog* dialog, std::int32_t* result) = 0;

 protected:
  ~IDialogService() = default;
};

// Implemented by an extension's settings object that a dialog edits (a channel calculation's
// settings). The host shows the dialog modally and applies the settings when it ends with
// OK; the dialog may write the object as the user changes it, so on Cancel the host puts
// back what the object held before.
struct IDialogEditable : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{C2D84F17-6A3B-4E95-B0C1-3F7E9A2D5B64}");

  // A new dialog on this object (out).
  virtual HRESULT CreateDialog(IExtensionDialog** dialog) = 0;

 protected:
  ~IDialogEditable() = default;
};
