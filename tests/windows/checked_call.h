/* Calls an export with known values in the callee-saved registers and records what the call left
 * in ESP and in them, so that a wrong convention shows instead of corrupting the host. */
#ifndef WARDLINK_CHECKED_CALL_H
#define WARDLINK_CHECKED_CALL_H

#include <stdint.h>

typedef struct CheckedCall {
  void* function;              /* 0 */
  const uint32_t* args;        /* 4: in order, args[0] first */
  int32_t count;               /* 8 */
  int32_t registerArgs;        /* 12: 3 for the register convention (EAX, EDX, ECX), else 0 */
  uint32_t result;             /* 16: EAX */
  int32_t espDelta;            /* 20: ESP after the call minus ESP before the arguments */
  uint32_t ebx, esi, edi, ebp; /* 24..36: after the call */
  uint32_t espExpected;        /* 40 */
} CheckedCall;

#define CHECKED_EBX 0x1B1B1B1Bu
#define CHECKED_ESI 0x2E2E2E2Eu
#define CHECKED_EDI 0x3D3D3D3Du
#define CHECKED_EBP 0x4B4B4B4Bu

/* Runs the call; not reentrant (one checked call at a time, on the main thread). */
void RunCheckedCall(CheckedCall* call);

#endif
