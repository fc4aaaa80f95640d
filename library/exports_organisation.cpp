// Departments, users, wards and beds.
#include "library/call_frame.h"
#include "wardlink.h"

using namespace wardlink;

extern "C" {

int32_t AddUnit(const char* server, const char* login, const char* password, int32_t, int32_t,
                const char*, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t UpdateUnit(const char* server, const char* login, const char* password, int32_t, int32_t,
                   const char*, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t DeleteUnit(const char* server, const char* login, const char* password, int32_t) {
  return RunNotImplemented({server, login, password});
}

int32_t AddUser(const char* server, const char* login, const char* password, const char*,
                const char*, const char*, int32_t, const char*, int32_t, int32_t) {
  return RunNotImplemented({server, login, password});
}
int32_t UpdateUser(const char* server, const char* login, const char* password, const char*,
                   const char*, const char*, int32_t, const char*, int32_t, int32_t) {
  return RunNotImplemented({server, login, password});
}
int32_t DeleteUser(const char* server, const char* login, const char* password, const char*) {
  return RunNotImplemented({server, login, password});
}

int32_t AddIllArea(const char* server, const char* login, const char* password, int32_t, int32_t,
                   const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t UpdateIllArea(const char* server, const char* login, const char* password, int32_t, int32_t,
                      const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t DeleteIllArea(const char* server, const char* login, const char* password, int32_t) {
  return RunNotImplemented({server, login, password});
}
int32_t AddIllBed(const char* server, const char* login, const char* password, int32_t, int32_t,
                  int32_t, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t UpdateIllBed(const char* server, const char* login, const char* password, int32_t,
                     const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t DeleteIllBed(const char* server, const char* login, const char* password, int32_t) {
  return RunNotImplemented({server, login, password});
}

}  // extern "C"
