// Owning pointers for COM interfaces and BSTRs.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace calorix {

// Holds one reference to a COM interface and releases it when it goes away.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases the current reference first.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

 private:
  T* p_ = nullptr;  // owned: one reference
};

// A BSTR allocated with SysAllocString and freed with SysFreeString.
class UniqueBstr {
 public:
  explicit UniqueBstr(const wchar_t* text) : b_(::SysAllocString(text)) {}
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { ::SysFreeString(b_); }
  BSTR get() const { return b_; }

 private:
  BSTR b_;  // owned
};

}  // namespace calorix
