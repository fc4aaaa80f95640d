// The stay record: admission, update, query, deletion.
#include <array>

#include "library/call_frame.h"
#include "patients/admission.h"
#include "patients/record_deletion.h"
#include "patients/record_query.h"
#include "patients/record_update.h"
#include "patients/victim_info.h"
#include "shared/regional_settings.h"
#include "shared/sized_buffers.h"
#include "shared/text.h"
#include "wardlink.h"

using namespace wardlink;

static_assert(kVictimQuerySlots == WARDLINK_VICTIM_INFO_SLOTS);

// The names of WARDLINK_VICTIM_INFO_PARAMS and of GetVictimInfo's buffers, from the record's one
// list (a test keeps the public header's spelling of them equal to it).
#define WARDLINK_VICTIM_NAME(member, ...) member,
#define WARDLINK_VICTIM_BUFFER(member, ...) char *member,
#define WARDLINK_VICTIM_NONE(...)
#define WARDLINK_VICTIM_INFO_ARGS \
  WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NAME, WARDLINK_VICTIM_NAME, WARDLINK_VICTIM_NAME)

extern "C" {

int32_t AddVictim(const char* server, const char* login, const char* password,
                  WARDLINK_VICTIM_INFO_PARAMS) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return AdmitVictim(connection, query, ReadVictimInfo({WARDLINK_VICTIM_INFO_ARGS}),
                       EnvironmentRegionalSettings());
  });
}
int32_t UpdateVictim(const char* server, const char* login, const char* password,
                     WARDLINK_VICTIM_INFO_PARAMS) {
  // The record's last text is admission's alone: the update never reads it, so a host may pass
  // anything there.
  std::array<const char*, kVictimInfoFieldCount> texts = {WARDLINK_VICTIM_INFO_ARGS};
  texts.back() = nullptr;
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return UpdateVictimRecord(connection, query, ReadVictimInfo(texts),
                              EnvironmentRegionalSettings());
  });
}

int32_t GetVictimInfo(const char* server, const char* login, const char* password,
                      const char* zhuYuanNo,
                      WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NONE, WARDLINK_VICTIM_BUFFER,
                                             WARDLINK_VICTIM_NONE) int32_t /*unused*/) {
  const std::array<char*, kVictimQuerySlots> slots = {
      WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NONE, WARDLINK_VICTIM_NAME, WARDLINK_VICTIM_NONE)};
  return RunExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    return ReadVictimRecord(
        query, Text(zhuYuanNo),
        [&](size_t slot, std::string_view text) { CopyToBuffer(text, slots[slot]); },
        EnvironmentRegionalSettings());
  });
}

// The same read, gathered first so that the buffers are written all at once or not at all.
int32_t GetVictimInfoSized(const char* server, const char* login, const char* password,
                           const char* zhuYuanNo, char* const* slots, const int32_t* slotSizes,
                           int32_t* slotLengths) {
  return RunExport({server, login, password}, [&](DbConnection&, DbQuery& query) {
    std::array<std::string, kVictimQuerySlots> texts;
    int32_t result = ReadVictimRecord(
        query, Text(zhuYuanNo), [&](size_t slot, std::string_view text) { texts[slot] = text; },
        EnvironmentRegionalSettings());
    if (result != 0) return result;
    std::array<SizedBuffer, kVictimQuerySlots> buffers{};
    for (size_t i = 0; i < kVictimQuerySlots; ++i)
      buffers[i] = {slots != nullptr ? slots[i] : nullptr, slotSizes != nullptr ? slotSizes[i] : 0};
    return CopyToSizedBuffers(texts, buffers, slotLengths);
  });
}

int32_t DeleteVictim(const char* server, const char* login, const char* password,
                     const char* zhuYuanNo) {
  return RunWritingExport({server, login, password}, [&](DbConnection& connection, DbQuery& query) {
    return DeleteVictimStay(connection, query, Text(zhuYuanNo));
  });
}

}  // extern "C"
