#include "sim/accounts/Pkce.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <vector>

namespace vlo::sim {
namespace {

std::string Base64Url(const unsigned char* data, size_t size) {
  std::string out(4 * ((size + 2) / 3) + 1, '\0');
  const int written{
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size))};
  out.resize(static_cast<size_t>(written));
  while (!out.empty() && out.back() == '=') out.pop_back();
  for (char& c : out) {
    if (c == '+') c = '-';
    if (c == '/') c = '_';
  }
  return out;
}

}  // namespace

std::string S256Challenge(std::string_view verifier) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size{0};
  if (EVP_Digest(verifier.data(), verifier.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    return {};
  }
  return Base64Url(digest, size);
}

std::string RandomBase64Url(size_t count) {
  std::vector<unsigned char> bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) return {};
  return Base64Url(bytes.data(), bytes.size());
}

}  // namespace vlo::sim
