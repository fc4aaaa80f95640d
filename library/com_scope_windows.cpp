#include <objbase.h>

#include "library/com_scope.h"

namespace wardlink {

// RPC_E_CHANGED_MODE (the thread is in the multithreaded apartment) fails SUCCEEDED.
ComScope::ComScope() noexcept : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}

ComScope::~ComScope() {
  if (initialised_) CoUninitialize();
}

}  // namespace wardlink
