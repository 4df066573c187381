#include "sim/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace vlo::sim {
namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error{std::string{"test certificate: "} + what};
}

KeyPtr NewKey() {
  KeyPtr key{EVP_EC_gen("P-256"), &EVP_PKEY_free};
  Check(key != nullptr, "key");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext{X509V3_EXT_conf_nid(nullptr, &ctx, nid, value)};
  Check(ext != nullptr, "extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (self-signed when `issuer`
// is null).
CertPtr MakeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                        long serial, bool authority,
                        const char* names = "IP:127.0.0.1,DNS:localhost") {
  CertPtr cert{X509_new(), &X509_free};
  Check(cert != nullptr, "certificate");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3650L * 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name{X509_get_subject_name(cert.get())};
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Simulator"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer{issuer ? issuer : cert.get()};
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  if (authority) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), signer, NID_subject_alt_name, names);
    AddExtension(cert.get(), signer, NID_authority_key_identifier, "keyid");
  }
  Check(X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "sign");
  return cert;
}

std::string CertPem(X509* cert) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio{BIO_new(BIO_s_mem()), &BIO_free};
  PEM_write_bio_X509(bio.get(), cert);
  char* data{nullptr};
  const long size{BIO_get_mem_data(bio.get(), &data)};
  return std::string(data, static_cast<size_t>(size));
}

std::string KeyPem(EVP_PKEY* key) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio{BIO_new(BIO_s_mem()), &BIO_free};
  PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data{nullptr};
  const long size{BIO_get_mem_data(bio.get(), &data)};
  return std::string(data, static_cast<size_t>(size));
}

std::string& CaFileForCleanup() {
  static std::string path;
  return path;
}

TestCertificates Make() {
  TestCertificates result;
  KeyPtr caKey{NewKey()};
  CertPtr ca{MakeCertificate(caKey.get(), "Simulator Test CA", nullptr, nullptr, 1, true)};
  KeyPtr serverKey{NewKey()};
  CertPtr server{MakeCertificate(serverKey.get(), "localhost", ca.get(), caKey.get(), 2, false)};
  result.caPem = CertPem(ca.get());
  result.serverCertPem = CertPem(server.get()) + result.caPem;
  result.serverKeyPem = KeyPem(serverKey.get());

  KeyPtr strangerKey{NewKey()};
  CertPtr stranger{
      MakeCertificate(strangerKey.get(), "Unknown Test CA", nullptr, nullptr, 1, true)};
  KeyPtr untrustedKey{NewKey()};
  CertPtr untrusted{MakeCertificate(untrustedKey.get(), "localhost", stranger.get(),
                                    strangerKey.get(), 2, false)};
  result.untrustedCertPem = CertPem(untrusted.get()) + CertPem(stranger.get());
  result.untrustedKeyPem = KeyPem(untrustedKey.get());
  KeyPtr otherKey{NewKey()};
  CertPtr other{MakeCertificate(otherKey.get(), "other.example", ca.get(), caKey.get(), 3, false,
                                "DNS:other.example")};
  result.otherHostCertPem = CertPem(other.get()) + result.caPem;
  result.otherHostKeyPem = KeyPem(otherKey.get());

  std::string pattern{(std::filesystem::temp_directory_path() / "vlo-sim-ca-XXXXXX").string()};
  const int fd{mkstemp(pattern.data())};
  Check(fd >= 0, "temporary file");
  ::close(fd);
  std::ofstream{pattern, std::ios::binary | std::ios::trunc} << result.caPem;
  result.caPath = pattern;
  CaFileForCleanup() = pattern;
  std::atexit([] { std::remove(CaFileForCleanup().c_str()); });
  return result;
}

}  // namespace

const TestCertificates& GetTestCertificates() {
  static const TestCertificates certificates{Make()};
  return certificates;
}

}  // namespace vlo::sim
