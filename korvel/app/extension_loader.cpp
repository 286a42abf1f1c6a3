// SPDX-License-Identifier: MIT
#include "korvel/app/extension_loader.h"

#include <dlfcn.h>

#include <charconv>

namespace korvel::app {
namespace {

std::string loader_message() {
  const char* text = dlerror();
  return text ? text : "no reason given";
}

}  // namespace

void load_extension(const std::filesystem::path& library, IApplication* application) {
  const std::string path = library.string();
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) throw ExtensionLoadError(LoadStep::Open, "cannot load extension '" + path + "': " + loader_message());

  dlerror();
  void* symbol = dlsym(handle, kDllRegisterClassObjectsSymbol);
  if (!symbol) {
    const std::string reason = loader_message();
    dlclose(handle);
    throw ExtensionLoadError(LoadStep::FindEntry, "extension '" + path + "' does not export " + kDllRegisterClassObjectsSymbol + ": " + reason);
  }
  auto entry = reinterpret_cast<DllRegisterClassObjectsFn>(symbol);
  const HRESULT hr = entry(application);
  if (FAILED(hr)) {
    char code[9];
    auto [end, ec] = std::to_chars(code, code + sizeof code, static_cast<std::uint32_t>(hr), 16);
    (void)ec;
    // What it registered before failing stays registered, so the library stays mapped.
    throw ExtensionLoadError(LoadStep::Register, std::string(kDllRegisterClassObjectsSymbol) + " of extension '" + path +
                                                     "' failed with 0x" + std::string(code, end));
  }
}

}  // namespace korvel::app
