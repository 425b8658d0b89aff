#pragma once
// Certificates made at test time with the library itself: a CA and a server
// certificate it signed for the names given, written as PEM files.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kv::test {

// A CA and a server certificate it signed, written as PEM files.
class Certificates {
 public:
  explicit Certificates(const std::string& server_names) {
    EVP_PKEY* ca_key = EVP_EC_gen("P-256");
    EVP_PKEY* server_key = EVP_EC_gen("P-256");
    X509* ca = Make(ca_key, ca_key, nullptr, "Kvornis Test CA", "CA:TRUE", "");
    X509* server = Make(server_key, ca_key, ca, "Kvornis Test Server", "CA:FALSE", server_names);
    Write(ca_file(), [&](FILE* f) { return PEM_write_X509(f, ca); });
    Write(cert_file(), [&](FILE* f) { return PEM_write_X509(f, server); });
    Write(key_file(), [&](FILE* f) { return PEM_write_PrivateKey(f, server_key, nullptr, nullptr, 0, nullptr, nullptr); });
    Write(locked_key_file(), [&](FILE* f) {
      return PEM_write_PrivateKey(f, server_key, EVP_aes_128_cbc(), nullptr, 0, nullptr, const_cast<char*>("right"));
    });
    X509_free(server);
    X509_free(ca);
    EVP_PKEY_free(server_key);
    EVP_PKEY_free(ca_key);
  }
  std::string ca_file() const { return dir_.File("ca.pem"); }
  std::string cert_file() const { return dir_.File("server.pem"); }
  std::string key_file() const { return dir_.File("server.key"); }
  std::string locked_key_file() const { return dir_.File("locked.key"); }  // password "right"

 private:
  static X509* Make(EVP_PKEY* key, EVP_PKEY* signer, X509* issuer, const char* name, const char* constraints,
                    const std::string& alt_names) {
    static long serial = 1;
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* subject = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(name), -1, -1, 0);
    X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : subject);
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer != nullptr ? issuer : cert, cert, nullptr, nullptr, 0);
    auto add = [&](int nid, const std::string& value) {
      if (value.empty()) return;
      X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
      X509_add_ext(cert, extension, -1);
      X509_EXTENSION_free(extension);
    };
    add(NID_basic_constraints, constraints);
    add(NID_subject_alt_name, alt_names);
    X509_sign(cert, signer, EVP_sha256());
    return cert;
  }
  static void Write(const std::string& path, const std::function<int(FILE*)>& write) {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(write(f), 1);
    std::fclose(f);
  }

  TempDir dir_;
};

}  // namespace kv::test
