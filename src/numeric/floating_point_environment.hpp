// The math exports compute in the default floating-point environment, whatever the calling
// thread has set, and hand the caller's environment back exactly as they found it.
//
// The caller's environment is not the library's to use: a directed rounding mode would move
// the fast paths' reductions off their tables and change last digits, and flush-to-zero or
// denormals-are-zero (which graphics and audio hosts set) would read subnormal arguments as
// zero. The environment is the SSE unit's MXCSR on x86-64, where the library does all its
// floating-point work (it uses no x87 instruction); elsewhere the C library's <cfenv>.
#pragma once

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#else
#include <cfenv>
#endif

namespace korvane {

// While the object lives: round to nearest, subnormals as they are, every exception masked.
// Afterwards the caller's control and status bits as they were; the flags that the library's
// own computation raised are dropped.
class DefaultFloatingPoint {
 public:
#if defined(__x86_64__) || defined(_M_X64)
  // Loading the register costs more than reading it: it is loaded only when it must change,
  // which for most callers (the default controls) is only when the computation raised a flag
  // that the caller had not.
  DefaultFloatingPoint() noexcept : saved_(_mm_getcsr()) {
    if ((saved_ & ~kFlags) != kDefault) {
      _mm_setcsr(kDefault | (saved_ & kFlags));
    }
  }
  ~DefaultFloatingPoint() {
    if (_mm_getcsr() != saved_) {
      _mm_setcsr(saved_);
    }
  }

 private:
  // Exceptions masked (bits 7-12), round to nearest, no flush-to-zero, no denormals-are-zero:
  // the controls with which every thread starts. The flags (bits 0-5) are the caller's.
  static constexpr unsigned kDefault = 0x1F80;
  static constexpr unsigned kFlags = 0x3F;
  unsigned saved_;
#else
  DefaultFloatingPoint() noexcept {
    std::fegetenv(&saved_);
    std::fesetenv(FE_DFL_ENV);
  }
  ~DefaultFloatingPoint() { std::fesetenv(&saved_); }

 private:
  std::fenv_t saved_;
#endif

 public:
  DefaultFloatingPoint(const DefaultFloatingPoint&) = delete;
  DefaultFloatingPoint& operator=(const DefaultFloatingPoint&) = delete;
};

}  // namespace korvane
