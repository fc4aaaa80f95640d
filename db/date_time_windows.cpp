#include <windows.h>

#include "db/date_time.h"

namespace wardlink {

DateTime CurrentLocalDateTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return DateTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace wardlink
