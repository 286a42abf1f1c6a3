// SPDX-License-Identifier: MIT
// Libraries that fail to load as extensions, for the loader's error paths: built with
// PROBE_FAILING_ENTRY it exports a DllRegisterClassObjects that always fails; without, it
// exports no DllRegisterClassObjects at all.
#include "sdk/hresult.h"
#include "sdk/unknown.h"

#ifdef PROBE_FAILING_ENTRY
extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterClassObjects(IUnknown*) { return E_ABORT; }
#else
extern "C" __attribute__((visibility("default"))) HRESULT ProbeSomethingElse() { return S_OK; }
#endif
