#include "hl7/senders.h"

#include <arpa/inet.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <toml.hpp>

namespace wardlink::hl7 {

namespace {

std::optional<std::vector<uint8_t>> AddressBytes(const std::string& text) {
  std::vector<uint8_t> bytes(16);
  if (inet_pton(AF_INET, text.c_str(), bytes.data()) == 1) {
    bytes.resize(4);
    return bytes;
  }
  if (inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1) {
    // An IPv4 peer seen through an IPv6 socket is the IPv4 address.
    static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::equal(bytes.begin(), bytes.begin() + 12, kMapped))
      bytes.erase(bytes.begin(), bytes.begin() + 12);
    return bytes;
  }
  return std::nullopt;
}

std::optional<Network> ReadNetwork(const std::string& text) {
  size_t slash = text.find('/');
  auto bytes = AddressBytes(text.substr(0, slash));
  if (!bytes) return std::nullopt;
  Network network{*bytes, static_cast<unsigned>(bytes->size() * 8)};
  if (slash != std::string::npos) {
    std::string length = text.substr(slash + 1);
    if (length.empty() || length.size() > 3 ||
        length.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    network.prefix = static_cast<unsigned>(std::stoul(length));
    if (network.prefix > bytes->size() * 8) return std::nullopt;
  }
  return network;
}

int Line(const toml::value& value) { return static_cast<int>(value.location().line()); }

}  // namespace

bool Network::Contains(const std::vector<uint8_t>& address) const {
  if (address.size() != bytes.size()) return false;
  unsigned whole = prefix / 8;
  if (!std::equal(bytes.begin(), bytes.begin() + whole, address.begin())) return false;
  unsigned rest = prefix % 8;
  if (rest == 0) return true;
  auto mask = static_cast<uint8_t>(0xff << (8 - rest));
  return (bytes[whole] & mask) == (address[whole] & mask);
}

Senders Senders::Read(const std::string& text, const std::string& origin) {
  toml::value data;
  try {
    std::istringstream stream(text);
    data = toml::parse(stream, origin);
  } catch (const toml::exception& error) {
    throw SendersError(origin + ":" + std::to_string(error.location().line()) + ": " +
                       error.what());
  } catch (const std::exception& error) {
    throw SendersError(origin + ": " + error.what());
  }
  auto refuse = [&](const toml::value& at, const std::string& what) {
    return SendersError(origin + ":" + std::to_string(Line(at)) + ": " + what);
  };
  const auto& root = data.as_table();
  for (const auto& [key, value] : root) {
    if (key != "sender") throw refuse(value, "unknown table " + key + " (only [[sender]])");
  }
  if (!root.contains("sender") || !root.at("sender").is_array() ||
      root.at("sender").as_array().empty())
    throw SendersError(origin + ": no [[sender]]");

  Senders senders;
  std::set<std::string> names;
  for (const auto& entry : root.at("sender").as_array()) {
    if (!entry.is_table()) throw refuse(entry, "each sender is a [[sender]] table");
    Sender sender;
    // An empty text in applications or facilities matches a sender that leaves the field empty.
    auto texts = [&](const toml::value& value, const std::string& key) {
      if (!value.is_array()) throw refuse(value, key + " must be a list of texts");
      std::vector<std::string> out;
      for (const auto& item : value.as_array()) {
        if (!item.is_string() || (key == "addresses" && item.as_string().str.empty()))
          throw refuse(item, key + " must be a list of texts");
        out.push_back(item.as_string().str);
      }
      return out;
    };
    for (const auto& [key, value] : entry.as_table()) {
      if (key == "name" || key == "certificate") {
        if (!value.is_string() || value.as_string().str.empty())
          throw refuse(value, key + " must be a text");
        (key == "name" ? sender.name : sender.certificate) = value.as_string().str;
      } else if (key == "addresses") {
        for (const auto& address : texts(value, key)) {
          auto network = ReadNetwork(address);
          if (!network) throw refuse(value, "not an address or address/length: " + address);
          sender.addresses.push_back(*network);
        }
      } else if (key == "applications") {
        sender.applications = texts(value, key);
      } else if (key == "facilities") {
        sender.facilities = texts(value, key);
      } else {
        throw refuse(value, "unknown key " + key +
                                " (name, addresses, certificate, applications, facilities)");
      }
    }
    if (sender.name.empty()) throw refuse(entry, "a sender needs a name");
    if (!names.insert(sender.name).second) throw refuse(entry, "sender " + sender.name + " twice");
    // A sender matched by nothing, or allowed nothing, is a mistake of the file's.
    if (sender.addresses.empty() && sender.certificate.empty())
      throw refuse(entry, "sender " + sender.name + " needs addresses or a certificate");
    if (sender.applications.empty() || sender.facilities.empty())
      throw refuse(entry, "sender " + sender.name + " needs applications and facilities");
    senders.senders_.push_back(std::move(sender));
  }
  return senders;
}

Senders Senders::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SendersError(path + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return Read(text.str(), path);
}

std::vector<const Sender*> Senders::Match(const std::string& address,
                                          const std::vector<std::string>& certificateNames) const {
  std::vector<const Sender*> matched;
  auto bytes = AddressBytes(address);
  for (const auto& sender : senders_) {
    bool byAddress = sender.addresses.empty() ||
                     (bytes && std::any_of(sender.addresses.begin(), sender.addresses.end(),
                                           [&](const Network& n) { return n.Contains(*bytes); }));
    bool byCertificate =
        sender.certificate.empty() || std::find(certificateNames.begin(), certificateNames.end(),
                                                sender.certificate) != certificateNames.end();
    if (byAddress && byCertificate) matched.push_back(&sender);
  }
  return matched;
}

bool MaySpeakFor(const std::vector<const Sender*>& matched, const SpokenFor& application,
                 const SpokenFor& facility) {
  auto listed = [](const std::vector<std::string>& values, const SpokenFor& field) {
    return std::any_of(values.begin(), values.end(), [&](const std::string& value) {
      return value == field.whole || value == field.first;
    });
  };
  return std::any_of(matched.begin(), matched.end(), [&](const Sender* sender) {
    return listed(sender->applications, application) && listed(sender->facilities, facility);
  });
}

}  // namespace wardlink::hl7
