// SPDX-License-Identifier: MIT
// Registration of everything the extension offers: the host calls the library's one export
// once after mapping it, and from then on reaches the extension only through the class
// objects registered here.
#pragma once

#include <vector>

#include "sdk/cpp/com_ptr.h"
#include "sdk/unknown.h"

namespace HRV {

// Class objects that live from library load to unload and are registered first, in this
// order.
const std::vector<ComPtr<IUnknown>>& static_class_objects();

// Installs the host's application and registers, in order: the static class objects, the
// macro message classes, then the document class and the calculation-enumerator classes.
// E_FAIL when `host` is null, is no application, or gives no class-object or message-class
// registry; nothing is registered then. The results of the single registrations are not
// checked: a class the host refuses does not keep the others from registering.
HRESULT register_class_objects(IUnknown* host) noexcept;

}  // namespace HRV
