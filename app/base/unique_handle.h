// Move-only ownership of one Win32 handle; the traits say how it is released.
#pragma once

#include <utility>

namespace calorix {

// Traits: `using type = ...; static type invalid(); void close(type) const;`
// A traits type may carry state (a DC's window, the object to reselect), so it is stored.
template <class Traits>
class UniqueHandle {
 public:
  using type = typename Traits::type;

  UniqueHandle() = default;
  explicit UniqueHandle(type h, Traits traits = Traits()) : handle_(h), traits_(traits) {}
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, Traits::invalid())), traits_(other.traits_) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, Traits::invalid());
      traits_ = other.traits_;
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  type get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::invalid(); }
  const Traits& traits() const { return traits_; }

  // Gives up ownership without closing.
  type release() { return std::exchange(handle_, Traits::invalid()); }

  void reset(type h = Traits::invalid()) {
    type old = std::exchange(handle_, h);
    if (old != Traits::invalid()) traits_.close(old);
  }

 private:
  type handle_ = Traits::invalid();  // owned
  Traits traits_{};
};

}  // namespace calorix
