#include "hl7/charset.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

namespace wardlink::hl7 {

namespace {

// The thread's iconv descriptors by target and source, closed when the thread ends: opening one
// loads its conversion module and closing the last one unloads it, which a message read in
// each character set in turn would otherwise pay for every time.
iconv_t Descriptor(const std::string& to, const std::string& from) {
  struct Cache {
    std::map<std::pair<std::string, std::string>, iconv_t> open;
    Cache() = default;
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;
    ~Cache() {
      for (auto& entry : open)
        if (entry.second != reinterpret_cast<iconv_t>(-1)) iconv_close(entry.second);
    }
  };
  thread_local Cache cache;
  auto [found, added] = cache.open.try_emplace({to, from}, reinterpret_cast<iconv_t>(-1));
  if (added) found->second = iconv_open(to.c_str(), from.c_str());
  return found->second;
}

// One conversion on the thread's descriptor, from its initial state.
class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) : cd_(Descriptor(to, from)) {}
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; at a sequence iconv cannot convert, `onBad` is asked: true puts "?" in its
  // place and goes on one byte later, false gives nullopt.
  template <typename OnBad>
  std::optional<std::string> Run(std::string_view in, OnBad onBad) {
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        size_t used = static_cast<size_t>(outPtr - out.data());
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
        continue;
      }
      if (!onBad(static_cast<size_t>(inPtr - in.data()))) return std::nullopt;
      ++inPtr;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      if (outLeft == 0) {
        size_t used = static_cast<size_t>(outPtr - out.data());
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
      }
      *outPtr++ = '?';
      --outLeft;
    }
    out.resize(static_cast<size_t>(outPtr - out.data()));
    return out;
  }

 private:
  iconv_t cd_;
};

// MSH-18 values (table 0211) and their iconv names.
constexpr std::array<std::pair<std::string_view, std::string_view>, 17> kCharacterSets{{
    {"ASCII", "UTF-8"},
    {"ISO IR6", "UTF-8"},
    {"8859/1", "ISO-8859-1"},
    {"ISO IR100", "ISO-8859-1"},
    {"8859/2", "ISO-8859-2"},
    {"8859/5", "ISO-8859-5"},
    {"8859/7", "ISO-8859-7"},
    {"8859/9", "ISO-8859-9"},
    {"8859/15", "ISO-8859-15"},
    {"UNICODE UTF-8", "UTF-8"},
    {"UNICODE", "UTF-8"},
    {"GB 18030-2000", "GB18030"},
    {"GB18030", "GB18030"},
    {"ISO IR58", "GB2312"},
    {"BIG-5", "BIG5"},
    {"KS X 1001", "EUC-KR"},
    {"ISO IR87", "EUC-JP"},
}};

std::string Trimmed(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  return std::string(text.substr(start, text.find_last_not_of(' ') - start + 1));
}

}  // namespace

std::string ToUtf8Lenient(std::string_view bytes, const std::string& iconvName);

namespace {

std::string DecodeHex(std::string_view bytes, const void* context) {
  return ToUtf8Lenient(bytes, *static_cast<const std::string*>(context));
}

}  // namespace

std::optional<std::string> IconvName(std::string_view msh18) {
  std::string name = Trimmed(msh18);
  if (name.empty()) return std::string("UTF-8");
  for (const auto& [hl7Name, iconvName] : kCharacterSets) {
    if (name == hl7Name) return std::string(iconvName);
  }
  return std::nullopt;
}

std::string ToUtf8(std::string_view bytes, const std::string& iconvName) {
  Iconv cd("UTF-8", iconvName);
  if (!cd.valid()) throw ParseError(103, "MSH-18", "character set " + iconvName + " unavailable");
  size_t bad = 0;
  auto text = cd.Run(bytes, [&](size_t at) {
    bad = at;
    return false;
  });
  if (!text) {
    throw ParseError(102, "MSH-18",
                     "byte " + std::to_string(bad + 1) + " is not valid text in " + iconvName);
  }
  return *text;
}

std::string ToUtf8Lenient(std::string_view bytes, const std::string& iconvName) {
  Iconv cd("UTF-8", iconvName);
  if (!cd.valid()) return std::string(bytes);
  return cd.Run(bytes, [](size_t) { return true; }).value_or(std::string());
}

std::string FromUtf8(std::string_view utf8, const std::string& iconvName) {
  if (iconvName == "UTF-8") return std::string(utf8);
  Iconv cd(iconvName, "UTF-8");
  if (!cd.valid()) return std::string(utf8);
  return cd.Run(utf8, [](size_t) { return true; }).value_or(std::string());
}

std::string HostCodeset() {
  std::string name = "C";
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  if (name == "C" || name == "POSIX") return "UTF-8";
  locale_t locale = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return "UTF-8";
  std::string codeset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return codeset == "ANSI_X3.4-1968" ? "UTF-8" : codeset;
}

Message ReadMessage(std::string_view bytes, std::string& charset) {
  // A second byte of GB 18030, GBK or BIG-5 can equal a delimiter, but never CR or LF: the MSH
  // segment is read in each supported character set, ASCII first, until the MSH-18 read names
  // the character set it was read in.
  size_t start = bytes.find_first_not_of("\r\n");
  std::string_view msh = bytes.substr(start == std::string_view::npos ? bytes.size() : start);
  msh = msh.substr(0, msh.find_first_of("\r\n"));
  std::optional<std::string> declared;  // MSH-18 as first read
  std::set<std::string_view> tried;
  for (const auto& entry : kCharacterSets) {
    const std::string name(entry.second);
    if (!tried.insert(entry.second).second) continue;
    std::string text;
    try {
      text = ToUtf8(msh, name);
    } catch (const ParseError&) {
      continue;  // not text in this character set
    }
    Message header = Parse(text);
    std::string value = Leaf(header.segments[0], 18);
    if (IconvName(value) == name) {
      charset = name;
      // The whole text is converted before it is split.
      return Parse(ToUtf8(bytes, charset), DecodeHex, &charset);
    }
    if (!declared) declared = value;
  }
  if (declared && !IconvName(*declared))
    throw ParseError(103, "MSH-18", "unsupported character set \"" + *declared + "\"");
  std::string named = declared && !declared->empty() ? "\"" + *declared + "\"" : "ASCII";
  throw ParseError(102, "MSH-18", "the MSH segment is not valid text in " + named);
}

}  // namespace wardlink::hl7
