#include "library/com_scope.h"

namespace wardlink {

ComScope::ComScope() noexcept = default;
ComScope::~ComScope() = default;

}  // namespace wardlink
