// SPDX-License-Identifier: MIT
// The application: module ids, the registries of class objects and message classes, the
// message box, and the one function every extension library exports.
// Threads: DllRegisterClassObjects is called once, on the host's user-interface thread,
// after the library is mapped; every operation below is called on that thread too.
#pragma once

#include <cstdint>

#include "sdk/strings.h"
#include "sdk/unknown.h"

// Describes a class object registered with the host: what it creates and how it is shown.
struct IClassObjectInfo : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C001}");

  // Implemented by the extension. Strings (out) are allocated by the callee and freed by
  // the caller.
  virtual HRESULT GetDisplayName(BSTR* name) = 0;
  // Internal name (views) or function/enumerator name; may equal the display name.
  virtual HRESULT GetInternalName(BSTR* name) = 0;
  // The class identifier and the category (document, view, ...) the class belongs to.
  virtual HRESULT GetClassId(GUID* classId) = 0;
  virtual HRESULT GetCategory(GUID* category) = 0;
  // 32-bit type id of what the class creates (module id << 16 | local number), 0 if none.
  virtual HRESULT GetTypeId(std::uint32_t* typeId) = 0;
  // Class flags as the class defines them; passed through by the host.
  virtual HRESULT GetFlags(std::uint32_t* flags) = 0;

 protected:
  ~IClassObjectInfo() = default;
};

// Registry of class objects. Implemented by the host.
struct IClassObjectRegistry : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3CAD4551-2F23-11D1-8CE9-00C0D1570D74}");

  // `classObject` (in) must answer IClassObjectInfo (E_NOINTERFACE otherwise) and either
  // IClassFactory or, for a calculation-enumerator class, ICalcEnumeratorClass
  // (sdk/host/calc_enumerator.h), which the expression language then finds by its function
  // name. E_INVALIDARG when that function name is already taken, by the host's own signal
  // functions or by another class. The registry keeps a reference until the application
  // ends.
  virtual HRESULT RegisterClassObject(IUnknown* classObject) = 0;

 protected:
  ~IClassObjectRegistry() = default;
};

// A macro message class: a command that the host can record into a macro and replay.
struct IMessageClass : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C002}");

  // Implemented by the extension.
  virtual HRESULT GetPrefix(BSTR* prefix) = 0;
  virtual HRESULT GetName(BSTR* name) = 0;
  virtual HRESULT GetDescription(BSTR* description) = 0;
  // Message type: module id << 16 | message number.
  virtual HRESULT GetMessageType(std::uint32_t* type) = 0;
  // Builds the message's text value from script arguments: `named` is the number of named
  // arguments, `positional`/`count` the positional ones (in). DISP_E_BADPARAMCOUNT when the
  // arguments are not acceptable. `text` (out) may be null on success without arguments.
  virtual HRESULT ParseArguments(std::uint32_t named, const BSTR* positional, std::uint32_t count, BSTR* text) = 0;

 protected:
  ~IMessageClass() = default;
};

// Registry of macro message classes. Implemented by the host.
struct IMessageClassRegistry : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{C7482421-F548-4440-909D-C8E9FAFEEA10}");

  // `messageClass` (in); the registry keeps a reference until the application ends.
  // E_INVALIDARG when a class with the same prefix and name is registered already.
  virtual HRESULT RegisterMessageClass(IMessageClass* messageClass) = 0;

 protected:
  ~IMessageClassRegistry() = default;
};

// Message box flags, combined with |: the buttons, the icon and the modality.
inline constexpr std::uint32_t kMessageBoxOk = 0x0;
inline constexpr std::uint32_t kMessageBoxOkCancel = 0x1;
inline constexpr std::uint32_t kMessageBoxStopIcon = 0x10;
inline constexpr std::uint32_t kMessageBoxWarningIcon = 0x30;
inline constexpr std::uint32_t kMessageBoxTaskModal = 0x2000;

// The application object handed to DllRegisterClassObjects. Implemented by the host.
struct IApplication : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C003}");

  // The 16-bit module id (out) the host assigns to `family`: never 0, the same for the same
  // family for the life of the process, different for different families.
  virtual HRESULT GetModuleId(const GUID& family, std::uint16_t* moduleId) = 0;
  // The host's registry objects (out).
  virtual HRESULT GetClassObjectRegistry(IClassObjectRegistry** registry) = 0;
  virtual HRESULT GetMessageClassRegistry(IMessageClassRegistry** registry) = 0;
  // Shows a message box; `result` (out) receives the button pressed (1 = OK, 2 = Cancel).
  // `type` carries the box flags (kMessageBox*); `hostArgument` is passed through to the host.
  virtual HRESULT MessageBox(const char16_t* text, const char16_t* caption, std::uint32_t type,
                             std::uint32_t hostArgument, std::int32_t* result) = 0;

 protected:
  ~IApplication() = default;
};

// The one function an extension library exports. `application` (in) is the host.
using DllRegisterClassObjectsFn = HRESULT (*)(IUnknown* application);
inline constexpr const char* kDllRegisterClassObjectsSymbol = "DllRegisterClassObjects";
