// SPDX-License-Identifier: MIT
// Export handlers: class objects of an extension that write a document's data to a file of
// one type, offered by the host in its save-as choices. Calls come on the host's
// user-interface thread.
#pragma once

#include "sdk/strings.h"
#include "sdk/unknown.h"

// Host category of export handler classes (IClassObjectInfo::GetCategory).
inline constexpr GUID kFileSaveCategory = make_guid("{192A7D57-9504-4FB8-93C5-DD2656E75741}");

// Implemented by the extension and registered with the class-object registry, answering
// IClassObjectInfo with the category kFileSaveCategory. Plain CreateInstance answers
// E_NOTIMPL: the handler itself writes.
struct IFileSaveClass : IClassFactory {
  using base_interface = IClassFactory;
  static constexpr GUID iid = make_guid("{42053F73-4721-42A4-9DE4-9991001DC150}");

  // The file type (out, caller frees): a description for the save dialog and the file name
  // extension without its dot ("txt").
  virtual HRESULT GetFileType(BSTR* description, BSTR* extension) = 0;
  // Writes the data of `document` (in: the host document object, which answers
  // IHostDocument and IExtensionDocuments) to `path` (in), creating or replacing the file.
  // `window` (in, may be null) is the window that messages are shown over. S_OK when data
  // were written; S_FALSE when there were none (the file then exists and is empty); E_FAIL
  // when `document` is no host document (nothing written); any other failure after the
  // handler has removed the file and told the user why.
  virtual HRESULT Save(IUnknown* document, IUnknown* window, const char16_t* path) = 0;

 protected:
  ~IFileSaveClass() = default;
};
