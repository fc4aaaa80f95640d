#include "hl7/mapping.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <toml.hpp>

#include "db/date_time.h"
#include "library/export_table.h"
#include "shared/conversions.h"
#include "shared/regional_settings.h"

namespace wardlink::hl7 {

namespace {

using Tables = std::map<std::string, std::map<std::string, std::string>>;

struct Context {
  const Message& message;
  const Tables& tables;
};

// ---- time stamps ----

struct Stamp {
  int year, month, day, hour, minute, second;
};

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The time `s` at UTC offset `minutes` as the host's local time.
std::optional<Stamp> LocalTime(const Stamp& s, int minutes) {
  std::tm utc{};
  utc.tm_year = s.year - 1900;
  utc.tm_mon = s.month - 1;
  utc.tm_mday = s.day;
  utc.tm_hour = s.hour;
  utc.tm_min = s.minute;
  utc.tm_sec = s.second;
  std::time_t at = timegm(&utc) - static_cast<std::time_t>(minutes) * 60;
  std::tm local{};
  if (localtime_r(&at, &local) == nullptr || local.tm_year + 1900 < 1) return std::nullopt;
  return Stamp{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
               local.tm_hour,        local.tm_min,     local.tm_sec};
}

// YYYYMMDD[HH[MM[SS[.S...]]]][+/-ZZZZ]; a time with an offset is turned into the host's local
// time, which the exports take.
std::optional<Stamp> ReadStamp(const std::string& text) {
  size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) != 0)
    ++digits;
  if (digits < 8 || digits > 14 || digits % 2 != 0) return std::nullopt;
  std::string_view rest = std::string_view(text).substr(digits);
  if (rest.starts_with('.')) {
    if (digits != 14) return std::nullopt;
    size_t end = 1;
    while (end < rest.size() && std::isdigit(static_cast<unsigned char>(rest[end])) != 0) ++end;
    if (end == 1 || end > 5) return std::nullopt;
    rest.remove_prefix(end);
  }
  if (!rest.empty()) {
    if ((rest[0] != '+' && rest[0] != '-') || rest.size() != 5) return std::nullopt;
    for (char c : rest.substr(1))
      if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
  }
  auto number = [&](size_t at, size_t length) {
    return at + length <= digits ? std::atoi(text.substr(at, length).c_str()) : 0;
  };
  Stamp s{number(0, 4), number(4, 2), number(6, 2), number(8, 2), number(10, 2), number(12, 2)};
  if (s.year < 1 || s.month < 1 || s.month > 12 || s.day < 1 ||
      s.day > DaysInMonth(s.year, s.month) || s.hour > 23 || s.minute > 59 || s.second > 59)
    return std::nullopt;
  if (rest.empty()) return s;
  int offset = std::atoi(std::string(rest.substr(1, 2)).c_str()) * 60 +
               std::atoi(std::string(rest.substr(3, 2)).c_str());
  if (offset > 14 * 60) return std::nullopt;
  return LocalTime(s, rest[0] == '-' ? -offset : offset);
}

std::string Digits(const Stamp& s, bool seconds) {
  char text[24];
  if (seconds) {
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", s.year, s.month, s.day, s.hour,
                  s.minute, s.second);
  } else {
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d", s.year, s.month, s.day, s.hour,
                  s.minute);
  }
  return text;
}

// Whole years, months beyond them and days beyond those, from birth to `at`.
std::optional<std::array<int, 3>> Age(const Stamp& birth, const Stamp& at) {
  using namespace std::chrono;
  auto day = [](const Stamp& s) {
    return sys_days(year_month_day(year(s.year), month(static_cast<unsigned>(s.month)),
                                   std::chrono::day(static_cast<unsigned>(s.day))));
  };
  if (day(at) < day(birth)) return std::nullopt;
  int months =
      (at.year - birth.year) * 12 + (at.month - birth.month) - (at.day < birth.day ? 1 : 0);
  int y = birth.year + (birth.month - 1 + months) / 12;
  int m = (birth.month - 1 + months) % 12 + 1;
  Stamp anniversary{y, m, std::min(birth.day, DaysInMonth(y, m)), 0, 0, 0};
  int days = static_cast<int>((day(at) - day(anniversary)).count());
  return std::array<int, 3>{months / 12, months % 12, days};
}

// ---- expressions ----

}  // namespace

class Expression {
 public:
  virtual ~Expression() = default;
  virtual std::string Evaluate(const Context& context) const = 0;
  // The first HL7 path it reads, to name in a refusal.
  virtual std::string FirstPath() const { return {}; }
};

namespace {

using ExpressionPtr = std::shared_ptr<Expression>;

struct Selector {
  size_t field = 0;
  size_t component = 1;
  std::string value;
};

class Path : public Expression {
 public:
  std::string text;
  std::string segment;
  std::optional<Selector> segmentWhere;
  size_t field = 0;
  std::optional<Selector> repetitionWhere;  // its `field` unused
  size_t component = 0;                     // 0: not given (reads the first)
  size_t subcomponent = 0;

  std::string FirstPath() const override { return text; }

  const Segment* FindSegment(const Message& message) const {
    for (const auto& s : message.segments) {
      if (s.id != segment) continue;
      if (!segmentWhere ||
          Leaf(s, segmentWhere->field, 0, segmentWhere->component) == segmentWhere->value)
        return &s;
    }
    return nullptr;
  }

  // Repetitions of the field that the path reads (all, or the one its selector picks).
  std::vector<size_t> Repetitions(const Segment& s) const {
    std::vector<size_t> picked;
    size_t count = field < s.fields.size() ? s.fields[field].size() : 0;
    for (size_t r = 0; r < count; ++r) {
      if (!repetitionWhere ||
          Leaf(s, field, r, repetitionWhere->component) == repetitionWhere->value)
        picked.push_back(r);
    }
    return picked;
  }

  // Raises MappingRefusal (102) for a control character: an escape such as \X00\ would reach
  // the EMR's rows as a number that is not the one sent, or a broken name.
  std::string At(const Segment& s, size_t r, size_t componentOffset = 0) const {
    std::string value = Leaf(s, field, r, std::max<size_t>(component, 1) + componentOffset,
                             std::max<size_t>(subcomponent, 1));
    if (HasControlCharacter(value))
      throw MappingRefusal(102, text, text + " holds a control character");
    return value;
  }

  std::string Evaluate(const Context& context) const override {
    const Segment* s = FindSegment(context.message);
    if (s == nullptr) return {};
    auto reps = Repetitions(*s);
    return reps.empty() ? std::string() : At(*s, reps[0]);
  }
};

class Literal : public Expression {
 public:
  explicit Literal(std::string value) : value_(std::move(value)) {}
  std::string Evaluate(const Context&) const override { return value_; }

 private:
  std::string value_;
};

class FirstOf : public Expression {
 public:
  std::vector<ExpressionPtr> choices;
  std::string Evaluate(const Context& context) const override {
    for (const auto& choice : choices) {
      std::string value = choice->Evaluate(context);
      if (!value.empty()) return value;
    }
    return {};
  }
  std::string FirstPath() const override {
    for (const auto& choice : choices) {
      std::string path = choice->FirstPath();
      if (!path.empty()) return path;
    }
    return {};
  }
};

class Function : public Expression {
 public:
  std::string name;
  std::vector<ExpressionPtr> arguments;
  std::string FirstPath() const override {
    for (const auto& argument : arguments) {
      std::string path = argument->FirstPath();
      if (!path.empty()) return path;
    }
    return {};
  }

  const Path& PathArgument(size_t i = 0) const { return static_cast<const Path&>(*arguments[i]); }

  std::string Evaluate(const Context& context) const override {
    if (name == "name" || name == "each" || name == "each_name") {
      const Path& path = PathArgument();
      const Segment* s = path.FindSegment(context.message);
      if (s == nullptr) return {};
      std::string joined;
      for (size_t r : path.Repetitions(*s)) {
        std::string value =
            name == "each" ? path.At(*s, r) : PersonName(path.At(*s, r), path.At(*s, r, 1));
        if (value.empty()) continue;
        if (name == "name") return value;
        joined += (joined.empty() ? "" : ",") + value;
      }
      return joined;
    }
    if (name == "text") {
      const Path& path = PathArgument();
      const Segment* s = path.FindSegment(context.message);
      if (s == nullptr) return {};
      auto reps = path.Repetitions(*s);
      if (reps.empty()) return {};
      std::string text = path.At(*s, reps[0], 1);
      return text.empty() ? path.At(*s, reps[0]) : text;
    }
    if (name == "table") {
      const auto& table =
          context.tables.at(static_cast<const Literal&>(*arguments[0]).Evaluate(context));
      std::string code = arguments[1]->Evaluate(context);
      auto found = table.find(code);
      return found != table.end() ? found->second : code;
    }
    if (name == "join") {
      std::string separator = arguments[0]->Evaluate(context);
      std::string joined;
      for (size_t i = 1; i < arguments.size(); ++i) {
        std::string part = arguments[i]->Evaluate(context);
        if (part.empty()) continue;
        joined += (joined.empty() ? "" : separator) + part;
      }
      return joined;
    }
    if (name == "date") return ShortDateText(arguments[0]->Evaluate(context));
    if (name == "movement_date") return MovementDateText(arguments[0]->Evaluate(context));
    if (name == "discharge_date") return DischargeDateText(arguments[0]->Evaluate(context));
    // age_years, age_months, age_days (birth, at)
    auto birth = ReadStamp(arguments[0]->Evaluate(context));
    auto at = ReadStamp(arguments[1]->Evaluate(context));
    if (!birth || !at) return {};
    auto age = Age(*birth, *at);
    if (!age) return {};
    size_t part = name == "age_years" ? 0 : name == "age_months" ? 1 : 2;
    return std::to_string((*age)[part]);
  }
};

// Arity of each function; -1 for any number (at least two).
const std::map<std::string, int> kFunctions = {
    {"name", 1},           {"each", 1},      {"each_name", 1},  {"text", 1},
    {"table", 2},          {"join", -1},     {"date", 1},       {"movement_date", 1},
    {"discharge_date", 1}, {"age_years", 2}, {"age_months", 2}, {"age_days", 2}};
const std::set<std::string> kPathOnly = {"name", "each", "each_name", "text"};

// Reads one argument's source: path, 'literal', function(...), alternatives joined by |.
class ExpressionReader {
 public:
  ExpressionReader(std::string_view text, const Tables& tables) : text_(text), tables_(tables) {}

  ExpressionPtr ReadAll() {
    auto expression = ReadChoices();
    Blanks();
    if (pos_ != text_.size()) Fail("unexpected \"" + std::string(text_.substr(pos_)) + "\"");
    return expression;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw MappingError(what); }

  void Blanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool Take(char c) {
    Blanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  ExpressionPtr ReadChoices() {
    auto first = ReadTerm();
    if (!Take('|')) return first;
    auto choices = std::make_shared<FirstOf>();
    choices->choices.push_back(first);
    do {
      choices->choices.push_back(ReadTerm());
    } while (Take('|'));
    return choices;
  }

  ExpressionPtr ReadTerm() {
    Blanks();
    if (Take('\'')) {
      size_t end = text_.find('\'', pos_);
      if (end == std::string_view::npos) Fail("unclosed quote");
      std::string value(text_.substr(pos_, end - pos_));
      pos_ = end + 1;
      return std::make_shared<Literal>(value);
    }
    size_t start = pos_;
    while (pos_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[pos_])) != 0 || text_[pos_] == '_'))
      ++pos_;
    std::string word(text_.substr(start, pos_ - start));
    if (Take('(')) return ReadFunction(word);
    pos_ = start;
    return ReadPath();
  }

  ExpressionPtr ReadFunction(const std::string& name) {
    auto found = kFunctions.find(name);
    if (found == kFunctions.end()) Fail("unknown function " + name + "()");
    auto function = std::make_shared<Function>();
    function->name = name;
    if (!Take(')')) {
      do {
        function->arguments.push_back(ReadChoices());
      } while (Take(','));
      if (!Take(')')) Fail(name + "(: missing )");
    }
    int arity = found->second;
    size_t given = function->arguments.size();
    if ((arity >= 0 && given != static_cast<size_t>(arity)) || (arity < 0 && given < 2))
      Fail(name + "() takes " + (arity < 0 ? std::string("at least 2") : std::to_string(arity)) +
           " arguments, " + std::to_string(given) + " given");
    if (kPathOnly.contains(name) &&
        dynamic_cast<const Path*>(function->arguments[0].get()) == nullptr)
      Fail(name + "() reads an HL7 path");
    if (name == "name" || name == "each_name") {
      if (static_cast<const Path&>(*function->arguments[0]).component == 0)
        Fail(name + "() needs the family name's component (PID-5.1, PV1-7.2)");
    }
    if (name == "table") {
      auto* table = dynamic_cast<const Literal*>(function->arguments[0].get());
      if (table == nullptr) Fail("table() takes a table name in quotes first");
      std::string tableName = table->Evaluate(Context{Message{}, tables_});
      if (!tables_.contains(tableName)) Fail("unknown value table '" + tableName + "'");
    }
    if (name == "join" && dynamic_cast<const Literal*>(function->arguments[0].get()) == nullptr)
      Fail("join() takes its separator in quotes first");
    return function;
  }

  size_t Number(const char* what) {
    size_t start = pos_;
    size_t value = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) != 0 &&
           pos_ - start < 4)
      value = value * 10 + static_cast<size_t>(text_[pos_++] - '0');
    if (pos_ == start || value == 0) Fail(std::string("an HL7 path needs a ") + what + " number");
    return value;
  }

  std::string SegmentId() {
    if (pos_ + 3 > text_.size())
      Fail("not an HL7 path: \"" + std::string(text_.substr(pos_)) + "\"");
    std::string id(text_.substr(pos_, 3));
    for (char c : id) {
      if (std::isupper(static_cast<unsigned char>(c)) == 0 &&
          std::isdigit(static_cast<unsigned char>(c)) == 0)
        Fail("not an HL7 path: \"" + std::string(text_.substr(pos_)) + "\"");
    }
    pos_ += 3;
    return id;
  }

  std::string SelectorValue() {
    size_t end = text_.find(']', pos_);
    if (end == std::string_view::npos) Fail("missing ] in an HL7 path");
    std::string value(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return value;
  }

  ExpressionPtr ReadPath() {
    Blanks();
    auto path = std::make_shared<Path>();
    size_t start = pos_;
    path->segment = SegmentId();
    if (Take('[')) {  // SEG[SEG-F(.C)=VALUE]
      if (SegmentId() != path->segment || !Take('-'))
        Fail("a segment selector reads its own segment: " + path->segment + "[" + path->segment +
             "-F=VALUE]");
      Selector where;
      where.field = Number("field");
      if (Take('.')) where.component = Number("component");
      if (!Take('=')) Fail("missing = in a segment selector");
      where.value = SelectorValue();
      path->segmentWhere = where;
    }
    if (!Take('-'))
      Fail("not an HL7 path (SEG-F.C.S): \"" + std::string(text_.substr(start)) + "\"");
    path->field = Number("field");
    if (Take('[')) {  // F[TYPE.C=VALUE]
      while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_])) != 0)
        ++pos_;
      if (!Take('.')) Fail("a repetition selector reads TYPE.C=VALUE, as [CX.5=MR]");
      Selector where;
      where.component = Number("component");
      if (!Take('=')) Fail("missing = in a repetition selector");
      where.value = SelectorValue();
      path->repetitionWhere = where;
    }
    if (Take('.')) {
      path->component = Number("component");
      if (Take('.')) path->subcomponent = Number("subcomponent");
    }
    path->text = std::string(text_.substr(start, pos_ - start));
    return path;
  }

  std::string_view text_;
  size_t pos_ = 0;
  const Tables& tables_;
};

int Line(const toml::value& value) { return static_cast<int>(value.location().line()); }

}  // namespace

Mapping::Mapping() = default;
Mapping::Mapping(Mapping&&) noexcept = default;
Mapping& Mapping::operator=(Mapping&&) noexcept = default;
Mapping::~Mapping() = default;

Mapping Mapping::Read(const std::string& text, const std::string& origin) {
  toml::value data;
  try {
    std::istringstream stream(text);
    data = toml::parse(stream, origin);
  } catch (const toml::exception& error) {
    throw MappingError(origin + ":" + std::to_string(error.location().line()) + ": " +
                       error.what());
  } catch (const std::exception& error) {
    throw MappingError(origin + ": " + error.what());
  }
  auto refuse = [&](const toml::value& at, const std::string& what) -> MappingError {
    return MappingError(origin + ":" + std::to_string(Line(at)) + ": " + what);
  };
  if (!data.is_table()) throw MappingError(origin + ": not a table");
  Mapping mapping;
  const auto& root = data.as_table();

  if (root.contains("tables")) {
    const auto& tables = root.at("tables");
    if (!tables.is_table()) throw refuse(tables, "[tables] must be a table of value tables");
    for (const auto& [name, table] : tables.as_table()) {
      if (!table.is_table()) throw refuse(table, "value table " + name + " must be a table");
      for (const auto& [code, value] : table.as_table()) {
        if (!value.is_string())
          throw refuse(value, "value table " + name + ": " + code + " must be a text");
        mapping.tables_[name][code] = value.as_string().str;
      }
    }
  }

  auto expression = [&](const toml::value& at, const std::string& text) {
    try {
      return ExpressionReader(text, mapping.tables_).ReadAll();
    } catch (const MappingError& error) {
      throw refuse(at, std::string(error.what()) + " in \"" + text + "\"");
    }
  };

  if (!root.contains("events") || !root.at("events").is_table())
    throw MappingError(origin + ": no [events] table");
  std::set<std::string> used;
  for (const auto& event : root.at("events").as_table()) {
    const std::string& trigger = event.first;  // a name of its own: lambdas below capture it
    const toml::value& rules = event.second;
    auto addRule = [&](const toml::value& at, const std::string& exportName,
                       const toml::value* when) {
      if (host::FindExport(exportName) == nullptr)
        throw refuse(at, "event " + trigger + ": unknown export " + exportName);
      Rule rule{exportName, {}};
      if (when != nullptr) {
        if (!when->is_array()) throw refuse(*when, "when must be a list of \"PATH = PATH\" tests");
        for (const auto& test : when->as_array()) {
          if (!test.is_string()) throw refuse(test, "when: each test is a text \"PATH = PATH\"");
          const std::string& t = test.as_string().str;
          size_t eq = t.find('=');
          if (eq == std::string::npos) throw refuse(test, "when: \"" + t + "\" has no =");
          rule.when.emplace_back(expression(test, t.substr(0, eq)),
                                 expression(test, t.substr(eq + 1)));
        }
      }
      used.insert(exportName);
      mapping.events_[trigger].push_back(std::move(rule));
    };
    if (rules.is_string()) {
      addRule(rules, rules.as_string().str, nullptr);
    } else if (rules.is_array()) {
      for (const auto& rule : rules.as_array()) {
        if (!rule.is_table() || !rule.as_table().contains("export") ||
            !rule.as_table().at("export").is_string())
          throw refuse(rule,
                       "event " + trigger + ": each rule is { export = \"...\", when = [...] }");
        for (const auto& [key, value] : rule.as_table()) {
          if (key != "export" && key != "when")
            throw refuse(value, "event " + trigger + ": unknown key " + key);
        }
        const auto& table = rule.as_table();
        addRule(table.at("export"), table.at("export").as_string().str,
                table.contains("when") ? &table.at("when") : nullptr);
      }
    } else {
      throw refuse(rules, "event " + trigger + ": an export name or a list of rules");
    }
  }

  for (const auto& [name, section] : root) {
    if (name == "events" || name == "tables") continue;
    const host::ExportSpec* spec = host::FindExport(name);
    if (spec == nullptr) throw refuse(section, "unknown export [" + name + "]");
    if (!section.is_table()) throw refuse(section, "[" + name + "] must be a table");
  }
  for (const std::string& exportName : used) {
    if (!root.contains(exportName))
      throw MappingError(origin + ": no [" + exportName +
                         "] section for an export the events name");
    const toml::value* section = &root.at(exportName);
    if (section->as_table().contains("same_as")) {
      const auto& other = section->as_table().at("same_as");
      if (!other.is_string() || !root.contains(other.as_string().str) ||
          section->as_table().size() != 1)
        throw refuse(other, "same_as names another export's section and stands alone");
      const std::string& otherName = other.as_string().str;
      if (host::FindExport(otherName)->arguments().size() !=
          host::FindExport(exportName)->arguments().size())
        throw refuse(other, exportName + " and " + otherName + " take different arguments");
      section = &root.at(otherName);
    }
    const auto& arguments = host::FindExport(exportName)->arguments();
    for (const auto& [key, value] : section->as_table()) {
      bool known = false;
      for (const auto& argument : arguments) known = known || argument.name == key;
      if (!known) throw refuse(value, "unknown argument " + key + " of " + exportName);
      if (!value.is_string()) throw refuse(value, key + " must be a text");
    }
    std::vector<ExpressionPtr> sources;
    for (const auto& argument : arguments) {
      if (!section->as_table().contains(argument.name))
        throw refuse(*section, "[" + exportName + "] has no line for argument " + argument.name +
                                   " (write " + argument.name + " = \"\" to send it empty)");
      const auto& value = section->as_table().at(argument.name);
      const std::string& text = value.as_string().str;
      sources.push_back(text.empty() ? std::make_shared<Literal>("") : expression(value, text));
    }
    mapping.arguments_[exportName] = std::move(sources);
  }
  return mapping;
}

Mapping Mapping::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MappingError(path + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return Read(text.str(), path);
}

Mapping Mapping::Default() { return Read(DefaultMappingText(), "default mapping"); }

MappedCall Mapping::Map(const Message& message) const {
  MappedCall call;
  const Segment* msh = message.Find("MSH");
  call.trigger = msh != nullptr ? Leaf(*msh, 9, 0, 2) : std::string();
  if (msh == nullptr || Leaf(*msh, 9) != "ADT") return call;  // only ADT is mapped
  if (call.trigger.empty()) {
    if (const Segment* evn = message.Find("EVN")) call.trigger = Leaf(*evn, 1);
  }
  if (call.trigger.empty())
    throw MappingRefusal(101, "MSH-9.2", "no trigger event in MSH-9.2 or EVN-1");
  auto rules = events_.find(call.trigger);
  if (rules == events_.end()) return call;
  Context context{message, tables_};
  for (const auto& rule : rules->second) {
    bool holds = true;
    for (const auto& [left, right] : rule.when) {
      // An absent value equals nothing: an A02 without locations is no bed change to "".
      std::string value = left->Evaluate(context);
      holds = holds && !value.empty() && value == right->Evaluate(context);
    }
    if (!holds) continue;
    call.exportName = rule.exportName;
    const auto& sources = arguments_.at(rule.exportName);
    const auto& specs = host::FindExport(rule.exportName)->arguments();
    for (size_t i = 0; i < sources.size(); ++i) {
      call.arguments.push_back(sources[i]->Evaluate(context));
      if (specs[i].name == "ZhuYuanNo") {
        call.visit = call.arguments.back();
        if (call.visit.empty()) {
          std::string path = sources[i]->FirstPath();
          throw MappingRefusal(101, path,
                               (path.empty() ? std::string("ZhuYuanNo") : path) +
                                   " (the visit number, ZhuYuanNo) is empty");
        }
      }
      if (specs[i].form == host::ArgumentForm::kInteger) {
        const std::string& value = call.arguments.back();
        char* end = nullptr;
        errno = 0;
        long number = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || number < INT32_MIN || number > INT32_MAX)
          throw MappingRefusal(102, sources[i]->FirstPath(),
                               sources[i]->FirstPath() + " (" + specs[i].name + ") \"" + value +
                                   "\" is not an integer");
      }
    }
    return call;
  }
  return call;
}

std::string ShortDateText(const std::string& timestamp) {
  auto stamp = ReadStamp(timestamp);
  if (!stamp) return {};
  // The library's own writer under the settings the export reads them with.
  return FormatHostDate(DateTime{stamp->year, stamp->month, stamp->day, 0, 0, 0, 0},
                        EnvironmentRegionalSettings());
}

std::string MovementDateText(const std::string& timestamp) {
  auto stamp = ReadStamp(timestamp);
  return stamp ? Digits(*stamp, false) : std::string();
}

std::string DischargeDateText(const std::string& timestamp) {
  auto stamp = ReadStamp(timestamp);
  return stamp ? Digits(*stamp, true) : std::string();
}

namespace {

// Whether every character of the UTF-8 `text` is Han, kana or hangul.
bool AllCjk(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + length > text.size()) return false;
    char32_t point = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k)
      point = point << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    bool cjk = (point >= 0x1100 && point <= 0x11FF) ||  // hangul jamo
               (point >= 0x3005 && point <= 0x3007) ||  // 々 〆 〇
               (point >= 0x3040 && point <= 0x30FF) ||  // hiragana, katakana
               (point >= 0x3130 && point <= 0x318F) ||  // hangul compatibility jamo
               (point >= 0x31F0 && point <= 0x31FF) ||  // katakana extensions
               (point >= 0x3400 && point <= 0x4DBF) ||  // Han extension A
               (point >= 0x4E00 && point <= 0x9FFF) ||  // Han
               (point >= 0xAC00 && point <= 0xD7AF) ||  // hangul syllables
               (point >= 0xF900 && point <= 0xFAFF) ||  // Han compatibility
               (point >= 0xFF66 && point <= 0xFF9F) ||  // halfwidth katakana
               (point >= 0x20000 && point <= 0x3134F);  // Han extensions B to G
    if (!cjk) return false;
  }
  return true;
}

}  // namespace

std::string PersonName(const std::string& family, const std::string& given) {
  if (family.empty() || given.empty()) return family + given;
  return AllCjk(family) && AllCjk(given) ? family + given : family + " " + given;
}

}  // namespace wardlink::hl7
