#include "hl7/tls.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace wardlink::hl7 {

namespace {

struct X509Free {
  void operator()(X509* certificate) const noexcept { X509_free(certificate); }
};
struct NamesFree {
  void operator()(GENERAL_NAMES* names) const noexcept { GENERAL_NAMES_free(names); }
};

std::string LastError() {
  unsigned long code = ERR_get_error();
  char text[256] = "unknown error";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return text;
}

}  // namespace

asio::ssl::context MakeTlsContext(const TlsFiles& files) {
  asio::ssl::context context(asio::ssl::context::tls_server);
  SSL_CTX* native = context.native_handle();
  SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION);
  SSL_CTX_set_options(native, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
  auto use = [](bool ok, const std::string& what, const std::string& file) {
    if (!ok) throw std::runtime_error(what + " " + file + ": " + LastError());
  };
  use(SSL_CTX_use_certificate_chain_file(native, files.certificate.c_str()) == 1, "--tls-cert",
      files.certificate);
  use(SSL_CTX_use_PrivateKey_file(native, files.key.c_str(), SSL_FILETYPE_PEM) == 1, "--tls-key",
      files.key);
  use(SSL_CTX_check_private_key(native) == 1, "--tls-key does not belong to --tls-cert", files.key);
  if (!files.ca.empty()) {
    use(SSL_CTX_load_verify_locations(native, files.ca.c_str(), nullptr) == 1, "--tls-ca",
        files.ca);
    // Tells clients which CAs to choose their certificate by.
    STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(files.ca.c_str());
    use(names != nullptr, "--tls-ca", files.ca);
    SSL_CTX_set_client_CA_list(native, names);
    SSL_CTX_set_verify(native, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    static const unsigned char kContext[] = "wardlink-hl7";
    SSL_CTX_set_session_id_context(native, kContext, sizeof kContext - 1);
  }
  return context;
}

std::vector<std::string> CertificateNames(SSL* ssl) {
  std::vector<std::string> names;
  std::unique_ptr<X509, X509Free> certificate(SSL_get1_peer_certificate(ssl));
  if (!certificate || SSL_get_verify_result(ssl) != X509_V_OK) return names;
  X509_NAME* subject = X509_get_subject_name(certificate.get());
  for (int at = X509_NAME_get_index_by_NID(subject, NID_commonName, -1); at >= 0;
       at = X509_NAME_get_index_by_NID(subject, NID_commonName, at)) {
    ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at));
    names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(data)),
                       static_cast<size_t>(ASN1_STRING_length(data)));
  }
  std::unique_ptr<GENERAL_NAMES, NamesFree> alternatives(static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate.get(), NID_subject_alt_name, nullptr, nullptr)));
  for (int i = 0; alternatives && i < sk_GENERAL_NAME_num(alternatives.get()); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(alternatives.get(), i);
    if (name->type != GEN_DNS) continue;
    names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.dNSName)),
                       static_cast<size_t>(ASN1_STRING_length(name->d.dNSName)));
  }
  return names;
}

}  // namespace wardlink::hl7
