// The wardlink tool as people and scripts use it: exit statuses, printed meanings, JSON, the
// batch form, the stay views and the database check. Runs the built program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "library/export_table.h"
#include "tests/test_support.h"
#include "wardlink.h"

namespace wardlink::testing {
namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Tool : public ::testing::Test {
 protected:
  // `arguments` as a shell reads them; `input` on standard input.
  ToolRun Run(const std::string& arguments, const std::string& input = "",
              const std::string& locale = "C") const {
    const auto folder = db_.path().parent_path();
    std::ofstream(folder / "in.txt") << input;
    std::string command = "cd '" + folder.string() + "' && LC_ALL=" + locale + " " + WARDLINK_TOOL +
                          " " + arguments + " <in.txt >out.txt 2>err.txt";
    int wait = std::system(command.c_str());
    return {WIFEXITED(wait) ? WEXITSTATUS(wait) : -1, Slurp(folder / "out.txt"),
            Slurp(folder / "err.txt")};
  }
  std::string Server() const { return "sqlite:" + db_.path().string(); }
  // SERVER LOGIN PASSWORD for the trial database.
  std::string Connection() const { return Server() + " '' ''"; }

  TrialDatabase db_;
};

struct StatusCase {
  const char* arguments;  // after the program name; %DB% stands for SERVER LOGIN PASSWORD
  int status;
  const char* output;  // expected in stdout, or in stderr when it starts with "!"
};

// The tool knows every export of the list up to ordinal 41 (the extras after it are the
// library's own: the last error, the version and the sized reads), and nothing else.
TEST(ToolTable, NamesEveryListedExport) {
  std::set<std::string> listed = {
#define WARDLINK_EXPORT(ordinal, name, slots) (ordinal) <= 41 ? #name : "",
#include "library/export_list.h"
#undef WARDLINK_EXPORT
  };
  listed.erase("");
  std::set<std::string> known;
  for (const auto& spec : host::Exports()) known.insert(spec.name());
  EXPECT_EQ(known, listed);
}

TEST_F(Tool, ExitStatusesAndPrintedMeanings) {
  const StatusCase cases[] = {
      {"--help", 0, "Usage: wardlink COMMAND"},
      {"-h", 0, "Exit status:"},
      {"call --help", 0, "Usage: wardlink COMMAND"},
      {"--version", 0, "wardlink " WARDLINK_VERSION_STRING},
      {"", 2, "!no command given"},
      {"cal", 2, "!did you mean call?"},
      {"help addunit", 2, "!did you mean AddUnit?"},
      {"call AddZhiYe %DB% Teacher abc 1", 2, "!ID: \"abc\" is not an integer"},
      {"call AddZhiYe %DB% Teacher 1", 2, "!takes 3 arguments"},
      {"call AddZhiYe %DB% Teacher 1 1", 0, "result: 0 (done)"},
      {"call AddZhiYe %DB% Farmer 1 2", 12, "result: 2 (ID exists)"},
      {"call DeleteHunYin %DB% 7", 12, "result: 2 (ID not found)"},
      {"call AddUnit %DB% 1 1 Surgery ''", 0, "result: 0 (done)"},
      // Spare is never read: any text goes.
      {"call AddUser %DB% doc01 pw 'Dr Wang' spare '' 1 0", 0, "result: 0 (done)"},
      {"call AddUser %DB% doc02 pw 'Dr Li' 0 Chief 1 0", 14,
       "result: 4 (title not in the title list)"},
      {"call GetZhiCheng sqlite:missing.db '' ''", 11,
       "result: 1 (connection failed): database file not found"},
      {"demo sqlite:missing.db", 11, "cannot open sqlite:missing.db: database file not found"},
      {"help VictimZhuanChu", 0, "ZhuanKeDate: text: digits yyyyMMddHHmm"},
      {"help AddVictim", 0, "RuYuanDate: text: a date in the short date form"},
      {"help DeleteUnit", 0, "3  still referred to by a user, a record or a ward"},
  };
  for (const auto& c : cases) {
    std::string arguments = std::regex_replace(c.arguments, std::regex("%DB%"), Connection());
    ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, c.status) << arguments << "\n" << run.out << run.err;
    const bool inErr = c.output[0] == '!';
    const std::string& stream = inErr ? run.err : run.out;
    EXPECT_NE(stream.find(c.output + (inErr ? 1 : 0)), std::string::npos)
        << arguments << "\nstdout: " << run.out << "\nstderr: " << run.err;
  }
  // A failed demo says so once instead of for every call.
  EXPECT_EQ(Run("demo sqlite:missing.db").out.find('\n'),
            Run("demo sqlite:missing.db").out.size() - 1);
}

TEST_F(Tool, JsonGivesResultMeaningBuffersAndMessage) {
  db_.Exec("INSERT INTO Emr_YiShengZhiCheng (ZhiCheng) VALUES ('Chief \"A\"')");
  ToolRun run = Run("call --json GetZhiCheng " + Connection());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"export\":\"GetZhiCheng\",\"result\":0,\"meaning\":\"done\",\"buffers\":"
            "{\"ListBuffer\":\"Chief \\\"A\\\"\"},\"message\":\"\",\"warnings\":[]}\n");
  run = Run("call --json DeleteZhiYe sqlite:missing.db '' '' 1");
  EXPECT_EQ(run.status, 11);
  EXPECT_NE(run.out.find("\"result\":1,\"meaning\":\"connection failed\",\"buffers\":{},"
                         "\"message\":\"database file not found: "),
            std::string::npos)
      << run.out;
}

TEST_F(Tool, WarnsWhenAStayTextWouldFallBackToItsDefault) {
  std::string stay;
  const auto& arguments = host::FindExport("AddVictim")->arguments();
  for (const auto& argument : arguments) {
    std::string value = argument.name == "ZhuYuanNo" ? "ZY1" : "x";
    if (argument.name == "UnitID") value = "1";
    if (argument.name == "RuYuanDate") value = "2024-03-01";  // not MM/dd/yy
    if (argument.name == "BingShiCaiJiDate") value = "03/01/24";
    if (argument.name == "NianLing_Sui") value = "35 years";
    if (argument.name.starts_with("NianLing_") && argument.name != "NianLing_Sui") value = "0";
    if (argument.name == "RuYuanCount") value = "2";
    stay += " '" + value + "'";
  }
  ToolRun run = Run("call AddVictim " + Connection() + stay);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("warning: RuYuanDate: \"2024-03-01\" is not a date in the short date "
                         "form MM/dd/yy; the current time is stored"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("warning: NianLing_Sui: \"35 years\" is not an integer; 0 is stored"),
            std::string::npos);
  EXPECT_EQ(run.err.find("BingShiCaiJiDate"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("RuYuanCount"), std::string::npos) << run.err;
}

TEST_F(Tool, BatchRunsEveryLineOrStopsAtTheFirstFailure) {
  const std::string batch =
      "# dictionaries\n"
      "AddZhiYe " +
      Connection() +
      " Teacher 1 1\n"
      "\n"
      "AddZhiYe " +
      Connection() +
      " 'Teacher again' 1 2   # a duplicate\n"
      "DeleteZhiYe " +
      Connection() + " 1\n";
  ToolRun run = Run("batch", batch);
  EXPECT_EQ(run.status, 12) << run.out << run.err;
  EXPECT_EQ(run.out,
            "2: AddZhiYe -> 0 (done)\n4: AddZhiYe -> 2 (ID exists)\n"
            "5: DeleteZhiYe -> 0 (done)\n");

  run = Run("batch --stop-on-failure -", batch);
  EXPECT_EQ(run.status, 12);
  EXPECT_EQ(run.out, "2: AddZhiYe -> 0 (done)\n4: AddZhiYe -> 2 (ID exists)\n");

  run = Run("batch --json",
            "DeleteZhiYe " + Connection() + " x\nDeleteZhiYe " + Connection() + " 9\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            "{\"line\":1,\"error\":\"ID: \\\"x\\\" is not an integer (decimal, optional "
            "sign, 32 bits)\"}\n{\"line\":2,\"export\":\"DeleteZhiYe\",\"result\":2,"
            "\"meaning\":\"ID not found\",\"buffers\":{},\"message\":\"\",\"warnings\":[]}\n");
}

TEST_F(Tool, BatchRefusesAFolderAndALineWithANulByte) {
  ToolRun run = Run("batch .");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "wardlink: cannot read .: it is a folder\n");

  using namespace std::string_literals;
  run = Run("batch", "AddZhiYe " + Connection() + " Teach\0er 1 1\n"s + "AddZhiYe " + Connection() +
                         " Nurse 2 2\n");
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_EQ(run.out,
            "1: error: the line holds a NUL byte, which no argument can carry\n"
            "2: AddZhiYe -> 0 (done)\n");
  EXPECT_EQ(db_.Count("Emr_ZhiYe"), 1);
}

// The help shows the short date form that is really read, with an example.
TEST_F(Tool, HelpShowsTheShortDateFormThatIsRead) {
  EXPECT_NE(Run("help AddVictim").out.find("here MM/dd/yy, e.g. 03/05/24 for 5 March 2024"),
            std::string::npos);
  ASSERT_NO_FATAL_FAILURE(EnsureLocale("zh_CN.UTF-8"));
  const ToolRun run = Run("help AddVictim", "", "zh_CN.UTF-8");
  EXPECT_NE(run.out.find("here yyyy/M/d, e.g. 2024/3/5 for 5 March 2024"), std::string::npos)
      << run.out;
}

TEST_F(Tool, PrintsWhyATransactionRolledBack) {
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('ZY1')");
  ToolRun run = Run("call JiaoBan " + Connection() + " ZY1 doc01 'Dr Wang' '' '' 2024");
  EXPECT_EQ(run.status, 14);
  EXPECT_EQ(run.out, "result: 4 (rolled back): '2024' is not a valid date and time\n") << run.err;
}

TEST_F(Tool, EventsAndRecordShowAStay) {
  db_.Exec(
      "INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName, PeopleEmrStateID, TagReciveUnitID, "
      "TagReciveDoctorUid) VALUES ('ZY1', 'Chen Jing', 1, 2, 'doc03')");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo, PeopleName) VALUES ('ZY1', 'Chen Jing')");
  db_.Exec(
      "INSERT INTO Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber, EventCode, EventDate, Memo) "
      "VALUES ('ZY1', 2, 'ZhuanChu', '2024-03-05 10:00:00.000', ''), "
      "('ZY1', 1, 'RuYuan', '2024-03-01 00:00:00.000', 'first')");
  ToolRun run = Run("events " + Connection() + " ZY1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "ZY1  Chen Jing  (transfer pending; to department 2, doctor doc03)\n"
            "    1  2024-03-01 00:00  RuYuan  (first)\n"
            "    2  2024-03-05 10:00  ZhuanChu\n");
  EXPECT_EQ(Run("events " + Connection() + " ZY2").status, 12);

  run = Run("record " + Connection() + " ZY1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nPeopleName         Chen Jing\n"), std::string::npos) << run.out;
  EXPECT_EQ(Run("record " + Connection() + " ZY2").out, "ZY2: 2 (number unknown)\n");
}

// Stored text, and arguments echoed in a message, reach a terminal with their control characters
// written out, so that no stored escape sequence recolours or retitles the operator's terminal.
TEST_F(Tool, HumanOutputWritesControlCharactersVisibly) {
  const std::string red = "\x1b[31m";
  const std::string title = "\x1b]0;owned\x07\xc2\x9b";  // OSC, BEL, then U+009B (CSI)
  db_.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName) VALUES ('ZY1', 'Chen" + red +
           "Jing')");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('ZY1')");
  db_.Exec(
      "INSERT INTO Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber, EventCode, EventDate, Memo) "
      "VALUES ('ZY1', 1, 'RuYuan', '2024-03-01 00:00:00.000', '" +
      title + "')");
  const std::string badDate = "JiaoBan " + Connection() + " ZY1 doc01 Wang '' '' '" + red + "'";
  const struct {
    std::string arguments;
    std::string input;
    std::string shown;
  } cases[] = {
      {"record " + Connection() + " ZY1", "", "Chen\\x1b[31mJing\n"},
      {"events " + Connection() + " ZY1", "", "(\\x1b]0;owned\\x07\\u009b)\n"},
      {"call GetVictimInfo " + Connection() + " ZY1", "", "PeopleName: Chen\\x1b[31mJing\n"},
      {"call " + badDate, "", "'\\x1b[31m' is not a valid date"},
      {"batch", badDate + "\n", "'\\x1b[31m' is not a valid date"},
      {"call --json GetVictimInfo " + Connection() + " ZY1", "", "Chen\\u001b[31mJing"},
  };
  for (const auto& each : cases) {
    ToolRun run = Run(each.arguments, each.input);
    EXPECT_NE(run.out.find(each.shown), std::string::npos) << each.arguments << ": " << run.out;
    EXPECT_EQ(run.out.find_first_of("\x1b\x07\x9b"), std::string::npos) << each.arguments;
  }
}

TEST_F(Tool, TextsLongerThanTheFirstBufferAreReadWhole) {
  const std::string name(10000, 'n');
  const std::string title(5000, 't');
  db_.Exec("INSERT INTO Emr_Doc_Emr_Info (ZhuYuanNo, PeopleName) VALUES ('ZY1', '" + name + "')");
  db_.Exec("INSERT INTO Emr_Doc_Emr_InfoList (ZhuYuanNo) VALUES ('ZY1')");
  db_.Exec("INSERT INTO Emr_YiShengZhiCheng (ZhiCheng) VALUES ('" + title + "')");
  ToolRun run = Run("record " + Connection() + " ZY1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" " + name + "\n"), std::string::npos);
  run = Run("call GetZhiCheng " + Connection());
  EXPECT_EQ(run.out, "result: 0 (done)\nListBuffer: " + title + "\n");
}

TEST_F(Tool, CheckFindsMissingTablesAndColumns) {
  ToolRun run = Run("check " + Connection());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("ok: every table and column"), std::string::npos);
  EXPECT_NE(run.out.find("warning: the title list Emr_YiShengZhiCheng is empty"),
            std::string::npos);

  db_.Exec("DROP TABLE Emr_IllBed");
  db_.Exec("ALTER TABLE Emr_Unit DROP COLUMN Memo");
  db_.Exec("INSERT INTO Emr_YiShengZhiCheng (ZhiCheng) VALUES ('Chief physician')");
  run = Run("check " + Connection());
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("missing: table Emr_IllBed missing"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("; fails: AddIllBed, UpdateIllBed, DeleteIllBed\n"), std::string::npos);
  EXPECT_NE(run.out.find("missing: table Emr_Unit lacks column Memo; fails: AddUnit"),
            std::string::npos);
  EXPECT_NE(run.out.find("2 problems found"), std::string::npos);
  EXPECT_EQ(run.out.find("title list"), std::string::npos);
}

}  // namespace
}  // namespace wardlink::testing
