#include "net/TlsTrust.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>
#include <mutex>
#include <vector>

#include "net/Http.h"

namespace plx {
namespace {

using CertPtr = std::shared_ptr<X509>;

std::mutex& TrustMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<CertPtr>& ExtraCertificates() {  // guarded by TrustMutex()
  static std::vector<CertPtr> certificates;
  return certificates;
}

}  // namespace

void TrustExtraCertificateForTests(const std::string& pemPath) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio{BIO_new_file(pemPath.c_str(), "r"), &BIO_free};
  if (!bio) return;
  std::vector<CertPtr> loaded;
  while (X509 * cert{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)}) {
    loaded.emplace_back(cert, &X509_free);
  }
  ERR_clear_error();  // the read that ends the loop leaves an error behind
  std::lock_guard lock{TrustMutex()};
  for (CertPtr& cert : loaded) ExtraCertificates().push_back(std::move(cert));
}

namespace detail {

void AddExtraTrust(SSL_CTX* context) {
  std::lock_guard lock{TrustMutex()};
  X509_STORE* store{SSL_CTX_get_cert_store(context)};
  for (const CertPtr& cert : ExtraCertificates()) X509_STORE_add_cert(store, cert.get());
  ERR_clear_error();  // adding a certificate the store already holds is not a failure
}

std::string CertificateProblem(long verifyResult) {
  switch (verifyResult) {
    case X509_V_OK:
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
    case X509_V_ERR_EMAIL_MISMATCH:
      return "the server's certificate is for another host";
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "the server's certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "the server's certificate is not valid yet";
    default:
      return "the server's certificate is not trusted";
  }
}

}  // namespace detail
}  // namespace plx
