// SPDX-License-Identifier: MIT
// Loads an extension library: maps it, finds its one export DllRegisterClassObjects and
// calls it with the application. A loaded library stays mapped for the rest of the
// process, since the objects it created may be referenced anywhere in the host.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "sdk/host/application.h"

namespace korvel::app {

enum class LoadStep {
  Open,       // the library could not be mapped
  FindEntry,  // it does not export DllRegisterClassObjects
  Register,   // DllRegisterClassObjects reported a failure
};

// The message names the library, the step, the symbol where one is missing, and the
// loader's own explanation (dlerror) or the result code.
class ExtensionLoadError : public std::runtime_error {
 public:
  ExtensionLoadError(LoadStep step, const std::string& what) : std::runtime_error(what), step_(step) {}
  LoadStep step() const noexcept { return step_; }

 private:
  LoadStep step_;
};

// Throws ExtensionLoadError.
void load_extension(const std::filesystem::path& library, IApplication* application);

}  // namespace korvel::app
