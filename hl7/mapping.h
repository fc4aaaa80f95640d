#pragma once

// The mapping from ADT events and their fields to exports and their arguments, read from a TOML
// file (the default ships as hl7/default-mapping.toml).

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hl7/message.h"

namespace wardlink::hl7 {

// A mapping the gateway refuses at start-up; the text names the file and line.
class MappingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A message the mapping cannot turn into a call (a field the event needs is empty, a value that
// does not convert): answered AR with this code and location.
class MappingRefusal : public std::runtime_error {
 public:
  MappingRefusal(int code, std::string location, const std::string& what)
      : std::runtime_error(what), code_(code), location_(std::move(location)) {}
  int code() const { return code_; }
  const std::string& location() const { return location_; }

 private:
  int code_;
  std::string location_;
};

class Expression;  // one argument's source, parsed

// The call a message maps to; `exportName` empty when the event is not used by the EMR.
struct MappedCall {
  std::string trigger;
  std::string exportName;
  std::vector<std::string> arguments;  // UTF-8
  std::string visit;                   // ZhuYuanNo, for the log
};

class Mapping {
 public:
  // Reads `text` (named `origin` in errors). Raises MappingError naming the line.
  static Mapping Read(const std::string& text, const std::string& origin);
  static Mapping ReadFile(const std::string& path);
  static Mapping Default();

  Mapping(Mapping&&) noexcept;
  Mapping& operator=(Mapping&&) noexcept;
  ~Mapping();

  // The trigger event (MSH-9.2, else EVN-1), the export and its arguments. Raises MappingRefusal.
  MappedCall Map(const Message& message) const;

 private:
  Mapping();
  struct Rule {
    std::string exportName;
    std::vector<std::pair<std::shared_ptr<Expression>, std::shared_ptr<Expression>>> when;
  };
  std::map<std::string, std::vector<Rule>> events_;
  // export -> its arguments' sources, in the export's argument order
  std::map<std::string, std::vector<std::shared_ptr<Expression>>> arguments_;
  std::map<std::string, std::map<std::string, std::string>> tables_;
};

// The default mapping file's text.
const std::string& DefaultMappingText();

// Date texts as the exports read them, from an HL7 time stamp; "" when it is not a valid date.
std::string ShortDateText(const std::string& timestamp);      // the library's short date form
std::string MovementDateText(const std::string& timestamp);   // yyyyMMddHHmm
std::string DischargeDateText(const std::string& timestamp);  // yyyyMMddHHmmss

// Family and given name joined: directly when both are written in Han, kana or hangul, by one
// blank otherwise.
std::string PersonName(const std::string& family, const std::string& given);

}  // namespace wardlink::hl7
