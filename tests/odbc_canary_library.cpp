// A library that must never be loaded: a hostile login or password names it as a driver. Loading
// it runs its constructor, which leaves a line in the file named by WARDLINK_CANARY_LOG.
#include <cstdio>
#include <cstdlib>

namespace {

[[gnu::constructor]] void Loaded() {
  const char* path = std::getenv("WARDLINK_CANARY_LOG");
  if (path == nullptr) return;
  if (FILE* file = std::fopen(path, "a")) {
    std::fputs("loaded\n", file);
    std::fclose(file);
  }
}

}  // namespace
