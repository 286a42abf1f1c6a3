// SPDX-License-Identifier: MIT
// Failures inside either side travel as exceptions that carry a result code; at every
// interface boundary `guard` turns them back into that code. No exception crosses the
// boundary, and `guard` is the only place that catches everything.
// Threads: no shared state; any thread.
#pragma once

#include <new>
#include <stdexcept>
#include <string>

#include "sdk/hresult.h"

class HResultError : public std::runtime_error {
 public:
  HResultError(HRESULT code, const std::string& what) : std::runtime_error(what), code_(code) {}
  HRESULT code() const noexcept { return code_; }

 private:
  HRESULT code_;
};

[[noreturn]] inline void throw_hresult(HRESULT code, const std::string& what = "operation failed") {
  throw HResultError(code, what);
}

// Throws when `hr` is a failure; passes S_OK and S_FALSE through.
inline HRESULT check_hresult(HRESULT hr, const char* what = "host call failed") {
  if (FAILED(hr)) throw HResultError(hr, what);
  return hr;
}

// Runs `body` (which returns an HRESULT) and converts any exception into a result code.
template <class Body>
HRESULT guard(Body&& body) noexcept {
  try {
    return body();
  } catch (const HResultError& e) {
    return e.code();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}
