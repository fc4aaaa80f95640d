#pragma once

// MLLP over TLS: the server's context (TLS 1.2 or later; with a CA, client certificates are
// required and verified) and the names a client's certificate carries.

#include <openssl/ssl.h>

#include <asio/ssl/context.hpp>
#include <string>
#include <vector>

namespace wardlink::hl7 {

struct TlsFiles {
  std::string certificate;  // PEM chain, the gateway's own certificate first
  std::string key;          // PEM private key
  std::string ca;           // PEM CA certificates that sign client certificates; empty: none asked
};

// Raises std::runtime_error naming the file that cannot be used.
asio::ssl::context MakeTlsContext(const TlsFiles& files);

// The subject's CN and the DNS names of the verified peer certificate; empty without one.
std::vector<std::string> CertificateNames(SSL* ssl);

}  // namespace wardlink::hl7
