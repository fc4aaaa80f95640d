#pragma once

// The character sets of MSH-18 and the conversions between them, the UTF-8 the parser reads and
// the host code page the exports expect.

#include <optional>
#include <string>
#include <string_view>

#include "hl7/message.h"

namespace wardlink::hl7 {

// The iconv name for an MSH-18 value; "" (absent) is ASCII, read leniently as UTF-8. nullopt for
// a character set the gateway does not support.
std::optional<std::string> IconvName(std::string_view msh18);

// `bytes` in `iconvName` as UTF-8. Raises ParseError (102) at the first byte sequence that is not
// valid in it; ASCII accepts any valid UTF-8.
std::string ToUtf8(std::string_view bytes, const std::string& iconvName);

// `bytes` in `iconvName` as UTF-8, "?" for what is not valid in it.
std::string ToUtf8Lenient(std::string_view bytes, const std::string& iconvName);

// UTF-8 text in `iconvName`; a character the target cannot show becomes "?".
std::string FromUtf8(std::string_view utf8, const std::string& iconvName);

// The code page the exports read: the codeset of the environment's locale (LC_ALL, LC_CTYPE,
// LANG), the C locale counting as UTF-8.
std::string HostCodeset();

// A message's raw bytes read by its MSH-18 into a Message whose leaves are UTF-8; `charset` gets
// the iconv name. Raises ParseError (103 for an unsupported character set).
Message ReadMessage(std::string_view bytes, std::string& charset);

}  // namespace wardlink::hl7
