#pragma once

namespace wardlink {

// Initialises COM for the call's thread and releases only what that initialisation established
// (S_OK or S_FALSE), so that a host thread already in another apartment keeps its own COM.
// Nothing to do where there is no COM.
class ComScope {
 public:
  ComScope() noexcept;
  ~ComScope();  // NOLINT(performance-trivially-destructible): not trivial on Windows
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  [[maybe_unused]] bool initialised_ = false;  // read on Windows only
};

}  // namespace wardlink
