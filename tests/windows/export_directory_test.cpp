// The export table of both WardLink.dll builds as the file's export directory holds it, read on
// Linux: every name at its ordinal, plain names only, nothing else, in an image of the right width.
// The DLLs' paths come in WARDLINK_WINDOWS_DLL (32-bit) and WARDLINK_WINDOWS64_DLL (x64).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

struct Expected {
  int ordinal;
  const char* name;
  int args;
};

constexpr Expected kExports[] = {
#define WARDLINK_EXPORT(ordinal, name, args) {ordinal, #name, args},
#include "library/export_list.h"
#undef WARDLINK_EXPORT
};

class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), {});
  }
  bool empty() const { return bytes_.empty(); }
  uint32_t U32(size_t offset) const { return U16(offset) | (uint32_t{U16(offset + 2)} << 16); }
  uint16_t U16(size_t offset) const {
    if (offset + 2 > bytes_.size()) throw std::out_of_range("past the end of the file");
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes_[offset]) |
                                 (static_cast<uint8_t>(bytes_[offset + 1]) << 8));
  }
  std::string Text(size_t offset) const {
    size_t end = bytes_.find('\0', offset);
    if (end == std::string::npos) throw std::out_of_range("unterminated name");
    return bytes_.substr(offset, end - offset);
  }
  // The file offset of a relative virtual address, through the section table.
  size_t Offset(uint32_t rva) const {
    size_t pe = U32(0x3C);
    size_t sections = pe + 24 + U16(pe + 20);
    for (uint16_t i = 0; i < U16(pe + 6); ++i) {
      size_t section = sections + i * 40;
      uint32_t address = U32(section + 12);
      uint32_t size = U32(section + 16);
      if (rva >= address && rva < address + size) return rva - address + U32(section + 20);
    }
    throw std::out_of_range("address outside every section");
  }

 private:
  std::string bytes_;
};

// What tells the two widths apart in the headers.
struct Image {
  const char* variable;  // names the DLL's path
  uint16_t machine;
  uint16_t magic;          // of the optional header
  size_t directoryOffset;  // of the export directory's entry, in the optional header
};

constexpr Image kImages[] = {
    {"WARDLINK_WINDOWS_DLL", 0x14C, 0x10B, 96},      // i386, PE32
    {"WARDLINK_WINDOWS64_DLL", 0x8664, 0x20B, 112},  // AMD64, PE32+
};

void PrintTo(const Image& image, std::ostream* out) { *out << image.variable; }

// ordinal -> name, for every exported name; `functions` gets the export address count.
std::map<int, std::string> ReadExports(const PeFile& pe, const Image& image, uint32_t& functions,
                                       uint32_t& base) {
  size_t header = pe.U32(0x3C);
  EXPECT_EQ(pe.U32(header), 0x00004550u) << "PE signature";
  EXPECT_EQ(pe.U16(header + 4), image.machine) << "machine";
  size_t optional = header + 24;
  EXPECT_EQ(pe.U16(optional), image.magic) << "optional header";
  size_t directory = pe.Offset(pe.U32(optional + image.directoryOffset));
  base = pe.U32(directory + 16);
  functions = pe.U32(directory + 20);
  uint32_t names = pe.U32(directory + 24);
  size_t nameTable = pe.Offset(pe.U32(directory + 32));
  size_t ordinalTable = pe.Offset(pe.U32(directory + 36));
  std::map<int, std::string> exports;
  for (uint32_t i = 0; i < names; ++i) {
    int ordinal = static_cast<int>(pe.U16(ordinalTable + 2 * i) + base);
    EXPECT_TRUE(exports.emplace(ordinal, pe.Text(pe.Offset(pe.U32(nameTable + 4 * i)))).second)
        << "two names at ordinal " << ordinal;
  }
  return exports;
}

class WindowsDll : public testing::TestWithParam<Image> {};

TEST_P(WindowsDll, ExportsExactlyTheTableByNameAndOrdinal) {
  const char* path = std::getenv(GetParam().variable);
  ASSERT_NE(path, nullptr) << GetParam().variable << " names the DLL to read";
  PeFile pe(path);
  ASSERT_FALSE(pe.empty()) << path;
  uint32_t functions = 0;
  uint32_t base = 0;
  std::map<int, std::string> exports = ReadExports(pe, GetParam(), functions, base);
  std::map<int, std::string> expected;
  for (const Expected& entry : kExports) expected.emplace(entry.ordinal, entry.name);
  EXPECT_EQ(exports, expected);
  EXPECT_EQ(base, 1u);
  EXPECT_EQ(functions, std::size(kExports)) << "an export without a name, or a gap";
  for (const auto& [ordinal, name] : exports)
    EXPECT_EQ(name.find('@'), std::string::npos) << "decorated name " << name;
}

INSTANTIATE_TEST_SUITE_P(BothWidths, WindowsDll, testing::ValuesIn(kImages),
                         [](const testing::TestParamInfo<Image>& info) {
                           return std::string(info.param.machine == 0x14C ? "x86" : "x64");
                         });

}  // namespace
