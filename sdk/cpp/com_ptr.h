// SPDX-License-Identifier: MIT
// ComPtr: the one smart pointer for interface references. The named constructors say who
// owns what: `adopt` takes over a reference the caller already holds, `retain` adds one.
// Threads: a ComPtr is a value owned by one thread at a time, like the pointer it holds.
#pragma once

#include <utility>

#include "sdk/unknown.h"

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) { if (p_) p_->AddRef(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
  ComPtr(ComPtr<U>&& other) noexcept : p_(other.detach()) {}
  ~ComPtr() { reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Takes over one reference that the caller owns.
  [[nodiscard]] static ComPtr adopt(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Shares `p`: adds a reference.
  [[nodiscard]] static ComPtr retain(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    if (p) p->AddRef();
    return r;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out parameters: releases what is held and hands out the slot.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  // Gives up ownership without releasing.
  [[nodiscard]] T* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  // Checked cast: asks the object for interface U; null when it does not offer it.
  template <class U>
  ComPtr<U> query() const noexcept {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(U::iid, r.put_void());
    return r;
  }

  // Hands out an AddRef'ed copy through a COM out parameter.
  HRESULT copy_to(T** out) const noexcept {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};
