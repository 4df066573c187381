#pragma once

#include <openssl/ssl.h>

#include <string>

namespace plx::detail {

// Adds the certificate authorities passed to TrustExtraCertificateForTests (if any) to the
// context's trust store, beside the system ones. Any thread.
void AddExtraTrust(SSL_CTX* context);

// What a person is told when the server's certificate is refused, from OpenSSL's verification
// result (X509_V_OK when the chain was fine but the name was not: libcurl checks names itself).
std::string CertificateProblem(long verifyResult);

// A TLS failure that is not about the certificate (protocol, cipher, a cut handshake).
inline constexpr const char* kSecureConnectionFailed = "the secure connection failed";

}  // namespace plx::detail
