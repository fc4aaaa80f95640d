#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace wardlink::host {

// A stay's movement state and event log as a timeline: number, date, code, memo. False when the
// database holds no record of the stay.
bool PrintTimeline(DbConnection& connection, std::string_view zhuYuanNo, std::ostream& out);

// `wardlink events SERVER LOGIN PASSWORD ZHUYUANNO`.
int RunEvents(const ConnectionArgs& args, const std::string& zhuYuanNo, std::ostream& out);

// `wardlink record SERVER LOGIN PASSWORD ZHUYUANNO`: the record as GetVictimInfo gives it, one
// field a line.
int RunRecord(const ConnectionArgs& args, const std::string& zhuYuanNo, std::ostream& out);

}  // namespace wardlink::host
