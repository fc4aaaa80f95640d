#include "wardlink.h"

extern "C" WARDLINK_API const char* WardLinkVersion(void) { return WARDLINK_VERSION_STRING; }
