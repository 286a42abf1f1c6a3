// SPDX-License-Identifier: MIT
// Maps the extension library and finds its one entry point, saying which step failed.
#pragma once

#include <dlfcn.h>

#include <string>

#include "sdk/host/application.h"

namespace validator {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
      error_ = "cannot map '" + path + "': " + dlerror();
      return;
    }
    entry_ = reinterpret_cast<DllRegisterClassObjectsFn>(dlsym(handle_, kDllRegisterClassObjectsSymbol));
    if (!entry_) error_ = std::string("'") + path + "' does not export " + kDllRegisterClassObjectsSymbol;
  }
  ~LoadedLibrary() {
    if (handle_) dlclose(handle_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool ok() const noexcept { return entry_ != nullptr; }
  const std::string& error() const noexcept { return error_; }
  HRESULT register_with(IUnknown* application) const { return entry_(application); }

 private:
  void* handle_ = nullptr;
  DllRegisterClassObjectsFn entry_ = nullptr;
  std::string error_;
};

}  // namespace validator
