// Intrusive counted reference, the way a COM interface pointer holds its object.
#pragma once

#include <cstddef>
#include <utility>

namespace tlx {

// T provides addRef() and release() (release deletes the object at zero).
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  explicit Ref(T* p) noexcept : p_(p) {
    if (p_) p_->addRef();
  }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.get())) {}
  ~Ref() {
    if (p_) p_->release();
  }
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void reset() noexcept { *this = Ref(); }
  friend bool operator==(const Ref& a, const Ref& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

template <class T, class... A>
Ref<T> makeRef(A&&... args) {
  return Ref<T>(new T(std::forward<A>(args)...));
}

// A checked downcast; empty when the object is not a T.
template <class T, class U>
Ref<T> refCast(const Ref<U>& r) {
  return Ref<T>(dynamic_cast<T*>(r.get()));
}

}  // namespace tlx
