#pragma once

// An HL7 v2 message as the gateway reads it: segments of fields, each field a list of
// repetitions, each repetition of components, each component of subcomponents. Leaf texts are
// held unescaped and in UTF-8.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wardlink::hl7 {

// The separators of one message, read from MSH-1 and MSH-2.
struct Delimiters {
  char field = '|';
  char component = '^';
  char repetition = '~';
  char escape = '\\';  // '\0' when MSH-2 names none
  char subcomponent = '&';
};

using Component = std::vector<std::string>;  // its subcomponents
using Repetition = std::vector<Component>;
using Field = std::vector<Repetition>;

struct Segment {
  std::string id;
  // fields[i] is field i; fields[0] is unused. In MSH, fields[1] holds the field separator and
  // fields[2] the encoding characters, each as one plain text.
  std::vector<Field> fields;
};

// Where a message could not be read, and why; the ACK names it.
class ParseError : public std::runtime_error {
 public:
  ParseError(int code, std::string location, const std::string& what)
      : std::runtime_error(what), code_(code), location_(std::move(location)) {}
  int code() const { return code_; }  // an HL7 error code (table 0357): 100, 101, 102, 103
  const std::string& location() const { return location_; }

 private:
  int code_;
  std::string location_;
};

// Turns the bytes of \Xhh..\ into UTF-8 text (they are in the message's character set).
using HexDecoder = std::string (*)(std::string_view bytes, const void* context);

struct Message {
  Delimiters delimiters;
  std::vector<Segment> segments;

  // The first segment with this id, or nullptr.
  const Segment* Find(std::string_view id) const;
};

// Reads a message whose text is already UTF-8 (or ASCII). Segments end in CR, LF or CRLF; empty
// lines are passed over. Raises ParseError when there is no MSH segment first or its encoding
// characters are unusable. `hex` decodes \X..\ (nullptr: the bytes are taken as they are).
Message Parse(std::string_view text, HexDecoder hex = nullptr, const void* hexContext = nullptr);

// The message written back with its own delimiters, segments ending in CR; every leaf escaped so
// that Parse gives the same message again.
std::string Encode(const Message& message);

// One field as Encode writes it.
std::string EncodeField(const Field& field, const Delimiters& delimiters);

// Field `field` of the MSH segment whole, every component and repetition, written with the
// standard delimiters: how a message's key and an ACK's echo hold it.
std::string KeyField(const Message& message, size_t field);

// One leaf as Encode writes it: delimiters as their escapes, control characters as \Xhh\.
std::string Escape(std::string_view text, const Delimiters& delimiters);

// `text` with each control character (C0 and DEL) written \Xhh\: a line of the gateway's log
// that a message's texts cannot split or end.
std::string EscapeControls(std::string_view text);

// Whether `text` holds a control character (C0, DEL, or a C1 in UTF-8).
bool HasControlCharacter(std::string_view text);

// The leaf text of field `field`, repetition `repetition` (from 0), component and subcomponent
// (from 1) of `segment`; empty when absent.
std::string Leaf(const Segment& segment, size_t field, size_t repetition = 0, size_t component = 1,
                 size_t subcomponent = 1);

}  // namespace wardlink::hl7
