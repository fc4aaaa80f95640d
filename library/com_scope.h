#pragma once

#if defined(_WIN32)
#include <objbase.h>
#endif

namespace wardlink {

// Initialises COM for the call's thread and releases only what that initialisation established,
// so that a host's own apartment is never undone. Nothing to do where there is no COM.
class ComScope {
 public:
#if defined(_WIN32)
  ComScope() noexcept : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (initialised_) CoUninitialize();
  }
#else
  ComScope() noexcept = default;
#endif
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
#if defined(_WIN32)
  bool initialised_;
#endif
};

}  // namespace wardlink
