#pragma once

#include <cstdint>
#include <string>

namespace wardlink::bench {

// The floor: each export's statements sent straight to SQLite, with the library's connection
// set-up and transaction, and nothing else.
// How the floor's connections close: with the checkpoint SQLite runs when the last connection to a
// WAL database closes, or without it and with the library's small automatic checkpoint threshold
// (the library's way). Only the journal comparison changes it.
// `autoCheckpointPages` 0 leaves SQLite's own threshold (1000 pages).
void SetFloorCheckpointOnClose(bool checkpoint, int autoCheckpointPages);
// The connection set-up alone: open, the library's settings, the schema read, close.
int32_t FloorConnect(const std::string& path, int i);

int32_t FloorAddZhiYe(const std::string& path, int i);
int32_t FloorGetZhiCheng(const std::string& path, int i);
int32_t FloorAddUnit(const std::string& path, int i);
int32_t FloorDeleteUnit(const std::string& path, int i);
int32_t FloorAddUser(const std::string& path, int i);
int32_t FloorAddIllArea(const std::string& path, int i);
int32_t FloorAddVictim(const std::string& path, int i);
int32_t FloorUpdateVictim(const std::string& path, int i);
int32_t FloorGetVictimInfo(const std::string& path, int i);
int32_t FloorDeleteVictim(const std::string& path, int i);
int32_t FloorJiaoBan(const std::string& path, int i);
int32_t FloorZhuanChuang(const std::string& path, int i);

}  // namespace wardlink::bench
