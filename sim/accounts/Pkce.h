#pragma once

#include <string>
#include <string_view>

namespace vlo::sim {

// The S256 code challenge of a verifier: Base64url (no padding) of its SHA-256 digest. Empty when
// the digest cannot be computed.
std::string S256Challenge(std::string_view verifier);

// `count` random bytes as Base64url without padding.
std::string RandomBase64Url(size_t count);

}  // namespace vlo::sim
