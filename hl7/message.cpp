#include "hl7/message.h"

#include <algorithm>
#include <cctype>

namespace wardlink::hl7 {

namespace {

// A delimiter of 0 is one that MSH-2 does not name: it splits nothing.
bool Is(char c, char delimiter) { return delimiter != '\0' && c == delimiter; }

std::vector<std::string_view> Split(std::string_view text, char delimiter) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Is(text[i], delimiter)) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool IsControl(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

std::string HexEscape(char c, char escape) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto u = static_cast<unsigned char>(c);
  return {escape, 'X', kDigits[u >> 4], kDigits[u & 0xF], escape};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> HexBytes(std::string_view digits) {
  if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    int high = HexValue(digits[i]);
    int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high << 4 | low));
  }
  return bytes;
}

struct Reader {
  const Delimiters& d;
  HexDecoder hex;
  const void* hexContext;

  // One escape sequence's content (between the escape characters): its text, or nullopt to keep
  // the sequence as written.
  std::optional<std::string> Sequence(std::string_view content) const {
    if (content == "F") return std::string(1, d.field);
    if (content == "S") return std::string(1, d.component);
    if (content == "T") return std::string(1, d.subcomponent);
    if (content == "R") return std::string(1, d.repetition);
    if (content == "E") return std::string(1, d.escape);
    if (content == "H" || content == "N") return std::string();  // highlighting: no text of its own
    if (content.starts_with('X')) {
      auto bytes = HexBytes(content.substr(1));
      if (!bytes) return std::nullopt;
      return hex != nullptr ? hex(*bytes, hexContext) : *bytes;
    }
    return std::nullopt;
  }

  std::string Unescape(std::string_view text) const {
    if (d.escape == '\0' || text.find(d.escape) == std::string_view::npos) return std::string(text);
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
      if (text[i] != d.escape) {
        out.push_back(text[i++]);
        continue;
      }
      size_t end = text.find(d.escape, i + 1);
      if (end == std::string_view::npos) {  // no closing escape: the rest is plain text
        out.append(text.substr(i));
        break;
      }
      auto replaced = Sequence(text.substr(i + 1, end - i - 1));
      if (replaced) {
        out += *replaced;
        i = end + 1;
      } else {
        out.append(text.substr(i, end - i + 1));  // not ours to read: kept as written
        i = end + 1;
      }
    }
    return out;
  }

  Field ReadField(std::string_view text) const {
    Field field;
    for (auto repetition : Split(text, d.repetition)) {
      Repetition components;
      for (auto component : Split(repetition, d.component)) {
        Component subcomponents;
        for (auto leaf : Split(component, d.subcomponent)) subcomponents.push_back(Unescape(leaf));
        components.push_back(std::move(subcomponents));
      }
      field.push_back(std::move(components));
    }
    return field;
  }
};

bool UsableDelimiter(char c) {
  auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7F && std::isalnum(u) == 0;
}

Delimiters ReadDelimiters(std::string_view msh, std::string& encodingCharacters) {
  if (msh.size() < 4) throw ParseError(100, "MSH-1", "MSH segment too short");
  Delimiters d;
  d.field = msh[3];
  if (!UsableDelimiter(d.field)) throw ParseError(102, "MSH-1", "unusable field separator");
  size_t end = msh.find(d.field, 4);
  encodingCharacters = std::string(msh.substr(4, end == std::string_view::npos ? end : end - 4));
  const auto& e = encodingCharacters;
  if (e.empty() || e.size() > 5)
    throw ParseError(102, "MSH-2", "MSH-2 must hold 1 to 5 encoding characters");
  std::string seen(1, d.field);
  for (char c : e.substr(0, std::min<size_t>(e.size(), 4))) {
    if (!UsableDelimiter(c) || seen.find(c) != std::string::npos)
      throw ParseError(102, "MSH-2", "unusable or repeated encoding character in MSH-2");
    seen.push_back(c);
  }
  d.component = e[0];
  d.repetition = e.size() > 1 ? e[1] : '\0';
  d.escape = e.size() > 2 ? e[2] : '\0';
  d.subcomponent = e.size() > 3 ? e[3] : '\0';
  return d;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
      if (i > start) lines.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return lines;
}

void AppendField(std::string& out, const Field& field, const Delimiters& d) {
  for (size_t r = 0; r < field.size(); ++r) {
    if (r > 0) out.push_back(d.repetition);
    for (size_t c = 0; c < field[r].size(); ++c) {
      if (c > 0) out.push_back(d.component);
      for (size_t s = 0; s < field[r][c].size(); ++s) {
        if (s > 0) out.push_back(d.subcomponent);
        out += Escape(field[r][c][s], d);
      }
    }
  }
}

}  // namespace

const Segment* Message::Find(std::string_view id) const {
  for (const auto& segment : segments) {
    if (segment.id == id) return &segment;
  }
  return nullptr;
}

Message Parse(std::string_view text, HexDecoder hex, const void* hexContext) {
  auto lines = Lines(text);
  if (lines.empty() || !lines[0].starts_with("MSH"))
    throw ParseError(100, "MSH", "the message does not begin with an MSH segment");
  Message message;
  std::string encodingCharacters;
  message.delimiters = ReadDelimiters(lines[0], encodingCharacters);
  const Delimiters& d = message.delimiters;
  Reader reader{d, hex, hexContext};
  for (size_t n = 0; n < lines.size(); ++n) {
    auto parts = Split(lines[n], d.field);
    Segment segment;
    segment.id = std::string(parts[0]);
    segment.fields.emplace_back();  // field 0: the id
    size_t first = 1;
    if (n == 0) {
      // MSH-1 is the separator itself and MSH-2 the encoding characters, neither split.
      segment.fields.push_back({{{std::string(1, d.field)}}});
      segment.fields.push_back({{{encodingCharacters}}});
      first = 2;
    }
    for (size_t i = first; i < parts.size(); ++i)
      segment.fields.push_back(reader.ReadField(parts[i]));
    message.segments.push_back(std::move(segment));
  }
  return message;
}

std::string EncodeField(const Field& field, const Delimiters& delimiters) {
  std::string out;
  AppendField(out, field, delimiters);
  return out;
}

std::string Escape(std::string_view text, const Delimiters& d) {
  std::string out;
  for (char c : text) {
    if (Is(c, d.escape)) {
      out += {d.escape, 'E', d.escape};
    } else if (c == d.field) {
      out += {d.escape, 'F', d.escape};
    } else if (Is(c, d.component)) {
      out += {d.escape, 'S', d.escape};
    } else if (Is(c, d.subcomponent)) {
      out += {d.escape, 'T', d.escape};
    } else if (Is(c, d.repetition)) {
      out += {d.escape, 'R', d.escape};
    } else if (IsControl(c) && d.escape != '\0') {
      out += HexEscape(c, d.escape);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string KeyField(const Message& message, size_t field) {
  if (message.segments.empty() || field >= message.segments[0].fields.size()) return {};
  return EncodeField(message.segments[0].fields[field], Delimiters{});
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (IsControl(c)) {
      out += HexEscape(c, '\\');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool HasControlCharacter(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto u = static_cast<unsigned char>(text[i]);
    bool c1 = u == 0xC2 && i + 1 < text.size() &&
              (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
    if (IsControl(text[i]) || c1) return true;
  }
  return false;
}

std::string Encode(const Message& message) {
  const Delimiters& d = message.delimiters;
  std::string out;
  for (size_t n = 0; n < message.segments.size(); ++n) {
    const Segment& segment = message.segments[n];
    out += segment.id;
    size_t first = 1;
    if (n == 0) {
      out.push_back(d.field);
      out += Leaf(segment, 2);
      first = 3;
    }
    for (size_t i = first; i < segment.fields.size(); ++i) {
      out.push_back(d.field);
      AppendField(out, segment.fields[i], d);
    }
    out.push_back('\r');
  }
  return out;
}

std::string Leaf(const Segment& segment, size_t field, size_t repetition, size_t component,
                 size_t subcomponent) {
  if (field >= segment.fields.size() || component == 0 || subcomponent == 0) return {};
  const Field& f = segment.fields[field];
  if (repetition >= f.size() || component > f[repetition].size()) return {};
  const Component& c = f[repetition][component - 1];
  return subcomponent <= c.size() ? c[subcomponent - 1] : std::string();
}

}  // namespace wardlink::hl7
