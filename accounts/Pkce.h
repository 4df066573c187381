#pragma once

#include <string>
#include <string_view>

namespace vlo {

// RFC 4648 Base64 with the URL-safe alphabet ("-" and "_") and no "=" padding.
std::string Base64UrlEncode(std::string_view bytes);

// Base64UrlEncode of the SHA-256 digest of `text`; empty when the digest cannot be computed.
std::string Sha256Base64Url(std::string_view text);

struct PkcePair {
  std::string verifier;   // 43 characters from 32 random bytes
  std::string challenge;  // S256 of the verifier, 43 characters (empty if hashing failed)
};

// A fresh verifier and its challenge (RFC 7636, method S256). The raw random bytes are wiped as
// soon as they are encoded. Empty verifier when the system generator fails.
PkcePair MakePkcePair();

// Overwrites the characters of a secret held in a string (verifiers, request bodies).
void WipeText(std::string& text);

}  // namespace vlo
