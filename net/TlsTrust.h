#pragma once

#include <openssl/ssl.h>

namespace plx::detail {

// Adds the certificate authorities passed to TrustExtraCertificateForTests (if any) to the
// context's trust store, beside the system ones. Any thread.
void AddExtraTrust(SSL_CTX* context);

}  // namespace plx::detail
