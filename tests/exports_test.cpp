// The shared library as a host sees it: exactly the exported names, callable after dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "patients/victim_fields.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

// The public header declares every listed export with as many arguments as the list gives it.
template <typename Result, typename... Arguments>
constexpr size_t ArgumentCount(Result (*)(Arguments...)) {
  return sizeof...(Arguments);
}
#define WARDLINK_EXPORT(ordinal, name, slots) \
  static_assert(ArgumentCount(&(name)) == (slots), #name " differs from the export list");
#include "library/export_list.h"
#undef WARDLINK_EXPORT

const std::set<std::string> kExports = {
#define WARDLINK_EXPORT(ordinal, name, slots) #name,
#include "library/export_list.h"
#undef WARDLINK_EXPORT
};

// The public header spells the stay record's arguments by hand: the list's names, in its order.
std::vector<std::string> ParameterNames(std::string_view text, const std::regex& parameter) {
  std::vector<std::string> names;
  for (std::cregex_iterator it(text.data(), text.data() + text.size(), parameter), end; it != end;
       ++it)
    names.push_back((*it)[1]);
  return names;
}

TEST(Exports, TheHeaderSpellsTheRecordAsItsList) {
#define WARDLINK_VICTIM_NAME(member, ...) #member,
#define WARDLINK_VICTIM_NONE(...)
  const std::vector<std::string> record = {
      WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NAME, WARDLINK_VICTIM_NAME, WARDLINK_VICTIM_NAME)};
  std::vector<std::string> query = {
      "server", "login", "password", "zhuYuanNo",
      WARDLINK_VICTIM_FIELDS(WARDLINK_VICTIM_NONE, WARDLINK_VICTIM_NAME, WARDLINK_VICTIM_NONE)};
#undef WARDLINK_VICTIM_NAME
#undef WARDLINK_VICTIM_NONE
  std::ifstream in(std::string(WARDLINK_SOURCE_DIR) + "/include/wardlink.h");
  const std::string header((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string_view text = header;

  // The macro runs to the first line that does not end in a backslash.
  size_t begin = text.find("#define WARDLINK_VICTIM_INFO_PARAMS");
  ASSERT_NE(begin, std::string_view::npos);
  size_t end = begin;
  do end = text.find('\n', end + 1);
  while (end != std::string_view::npos && text[end - 1] == '\\');
  EXPECT_EQ(ParameterNames(text.substr(begin, end - begin), std::regex(R"(const char \*(\w+))")),
            record);

  begin = text.find("GetVictimInfo(");
  ASSERT_NE(begin, std::string_view::npos);
  end = text.find(");", begin);
  EXPECT_EQ(ParameterNames(text.substr(begin, end - begin), std::regex(R"(char\* (\w+))")), query);
}

TEST(Exports, TheLibraryExportsExactlyTheTableAndTheExtras) {
  ASSERT_EQ(kExports.size(), 46u);
  std::string command = std::string("nm -D --defined-only ") + WARDLINK_SHARED_LIBRARY;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::set<std::string> exported;
  std::array<char, 512> line{};
  while (fgets(line.data(), line.size(), pipe.get()) != nullptr) {
    char type = 0;
    char name[400] = {};
    unsigned long long address = 0;
    if (sscanf(line.data(), "%llx %c %399s", &address, &type, name) == 3 &&
        (type == 'T' || type == 'D' || type == 'B' || type == 'W'))
      exported.insert(name);
  }
  EXPECT_EQ(exported, kExports);
}

TEST(Exports, TheLibraryGivesTheVersionOfItsHeader) {
  EXPECT_STREQ(WardLinkVersion(), WARDLINK_VERSION_STRING);
  EXPECT_EQ(std::string(WARDLINK_VERSION_STRING), std::to_string(WARDLINK_VERSION_MAJOR) + "." +
                                                      std::to_string(WARDLINK_VERSION_MINOR) + "." +
                                                      std::to_string(WARDLINK_VERSION_PATCH));
}

TEST(Exports, AHostCallsTheSharedLibraryByName) {
  std::unique_ptr<void, int (*)(void*)> library(dlopen(WARDLINK_SHARED_LIBRARY, RTLD_NOW), dlclose);
  ASSERT_TRUE(library) << dlerror();
  using AddEntry =
      int32_t (*)(const char*, const char*, const char*, const char*, int32_t, int32_t);
  using LastError = int32_t (*)(char*, int32_t);
  auto add = reinterpret_cast<AddEntry>(dlsym(library.get(), "AddHunYin"));
  auto lastError = reinterpret_cast<LastError>(dlsym(library.get(), "WardLinkLastError"));
  ASSERT_NE(add, nullptr);
  ASSERT_NE(lastError, nullptr);
  EXPECT_EQ(dlsym(library.get(), "RunExport"), nullptr);

  TrialDatabase db;
  EXPECT_EQ(add(db.server(), "", "", "married", 2, 1), 0);
  EXPECT_EQ(add(db.server(), "", "", "married", 2, 1), 2);
  EXPECT_EQ(db.Scalar("SELECT HunYin FROM Emr_HunYin WHERE ID = 2"), "married");
  db.Exec("DROP TABLE Emr_HunYin");
  EXPECT_EQ(add(db.server(), "", "", "x", 3, 1), -1);
  char message[128] = {};
  EXPECT_GT(lastError(message, sizeof message), 0);
  EXPECT_NE(std::string(message).find("Emr_HunYin"), std::string::npos);
}

}  // namespace
}  // namespace wardlink::testing
