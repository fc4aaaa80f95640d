#pragma once

// The site's list of senders (a TOML file): who may connect, from which addresses or with which
// TLS client certificate, and which MSH-3 / MSH-4 each may speak for.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace wardlink::hl7 {

class SendersError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An address with its prefix length: 10.1.2.0/24, fd00::17 (a single address: the whole length).
struct Network {
  std::vector<uint8_t> bytes;  // 4 for IPv4, 16 for IPv6
  unsigned prefix = 0;
  bool Contains(const std::vector<uint8_t>& address) const;
};

struct Sender {
  std::string name;
  std::vector<Network> addresses;  // empty: any address
  std::string certificate;         // empty: no certificate asked
  std::vector<std::string> applications;
  std::vector<std::string> facilities;
};

// One of MSH-3 / MSH-4 in the two forms a listed value may equal.
struct SpokenFor {
  std::string whole;  // the field as sent
  std::string first;  // its first component
};

class Senders {
 public:
  // Refuses a file that cannot be read with "FILE:LINE: what".
  static Senders Read(const std::string& text, const std::string& origin);
  static Senders ReadFile(const std::string& path);

  // The senders a connection from `address` (text, IPv4 or IPv6) presenting a certificate with
  // `certificateNames` (its CN and DNS names; none without TLS) matches.
  std::vector<const Sender*> Match(const std::string& address,
                                   const std::vector<std::string>& certificateNames) const;

  size_t size() const { return senders_.size(); }

 private:
  std::vector<Sender> senders_;
};

// True when one of `matched` may use this MSH-3 and MSH-4.
bool MaySpeakFor(const std::vector<const Sender*>& matched, const SpokenFor& application,
                 const SpokenFor& facility);

}  // namespace wardlink::hl7
