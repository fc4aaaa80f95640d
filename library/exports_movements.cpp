// Movements of a stay: discharge, transfer, suspension, acceptance, cancellation, bed change,
// hand-over.
#include "library/call_frame.h"
#include "wardlink.h"

using namespace wardlink;

extern "C" {

int32_t VictimChuYuan(const char* server, const char* login, const char* password, const char*,
                      const char*, const char*, const char*, const char*, const char*,
                      const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t VictimZhuanChu(const char* server, const char* login, const char* password, const char*,
                       int32_t, const char*, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t GuaQi(const char* server, const char* login, const char* password, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t AcceptZhuanKePeople(const char* server, const char* login, const char* password,
                            const char*, const char*, const char*, const char*, const char*,
                            const char*, const char*, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t CancelZhuanKe(const char* server, const char* login, const char* password, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t CancelGuaQi(const char* server, const char* login, const char* password, const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t ZhuanChuang(const char* server, const char* login, const char* password, const char*,
                    const char*) {
  return RunNotImplemented({server, login, password});
}
int32_t JiaoBan(const char* server, const char* login, const char* password, const char*,
                const char*, const char*, const char*, const char*, const char*) {
  return RunNotImplemented({server, login, password});
}

}  // extern "C"
