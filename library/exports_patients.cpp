// The stay record: admission, update, query, deletion.
#include "library/call_frame.h"
#include "wardlink.h"

using namespace wardlink;

extern "C" {

int32_t AddVictim(const char* server, const char* login, const char* password, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*, const char*, const char*, const char*, const char*, const char*,
                  const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t UpdateVictim(const char* server, const char* login, const char* password, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t GetVictimInfo(const char* server, const char* login, const char* password, const char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*,
                      char*, char*, char*, char*, char*, char*, char*, char*, char*, int32_t) {
  return RunNotImplemented({server, login, password});
}
int32_t DeleteVictim(const char* server, const char* login, const char* password, const char*) {
  return RunNotImplemented({server, login, password});
}

}  // extern "C"
