// The method frame: continue-on-error mode with its pending error, trap mode, and Raise.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "talvex/com_error.h"

namespace tlx {

// The error in flight inside a catch block, as a ComError (other exceptions are mapped:
// bad_alloc to "Out of memory", anything else to E_FAIL with its text).
ComError currentError();

// Continue-on-error mode. Each step runs; a failing step leaves its error pending and the body
// goes on. A later success does not clear it; entering the mode does.
class ErrorFrame {
 public:
  ErrorFrame() = default;
  void enter() { pending_ = ComError(hr::S_OK); }

  // Runs one step; returns false (and records the error) when it fails.
  template <class F>
  bool step(F&& f) {
    try {
      std::forward<F>(f)();
      return true;
    } catch (...) {
      pending_ = currentError();
      return false;
    }
  }

  bool pending() const { return pending_.number() != 0; }
  const ComError& error() const { return pending_; }
  void fail(ComError e) { pending_ = std::move(e); }

 private:
  ComError pending_{hr::S_OK};
};

// Fails the call with the control's error number and a fixed description; nothing after it
// runs and the caller receives no result.
[[noreturn]] void Raise(std::string description);

}  // namespace tlx
