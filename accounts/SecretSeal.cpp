#include "accounts/SecretSeal.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <memory>

namespace vlo {

namespace {

constexpr size_t kNonceBytes = 12;
constexpr size_t kTagBytes = 16;

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

unsigned char* Bytes(std::string& text) { return reinterpret_cast<unsigned char*>(text.data()); }

}  // namespace

SecretKey::SecretKey(const std::array<unsigned char, kSecretKeyBytes>& bytes) : bytes_{bytes} {}

SecretKey::SecretKey(const SecretKey& other) : bytes_{other.bytes_} {}

SecretKey& SecretKey::operator=(const SecretKey& other) {
  bytes_ = other.bytes_;
  return *this;
}

SecretKey::~SecretKey() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }

std::optional<SecretKey> SecretKey::Random() {
  SecretKey key;
  if (RAND_bytes(key.bytes_.data(), static_cast<int>(key.bytes_.size())) != 1) return std::nullopt;
  return key;
}

std::optional<SecretKey> SecretKey::FromHex(std::string_view hex) {
  if (hex.size() != 2 * kSecretKeyBytes) return std::nullopt;
  SecretKey key;
  for (size_t i{0}; i < kSecretKeyBytes; ++i) {
    const int high = HexDigit(hex[2 * i]);
    const int low = HexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    key.bytes_[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return key;
}

std::string SecretKey::ToHex() const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(2 * kSecretKeyBytes, '0');
  for (size_t i{0}; i < kSecretKeyBytes; ++i) {
    hex[2 * i] = kDigits[bytes_[i] >> 4];
    hex[2 * i + 1] = kDigits[bytes_[i] & 0x0f];
  }
  return hex;
}

bool SecretKey::operator==(const SecretKey& other) const {
  return CRYPTO_memcmp(bytes_.data(), other.bytes_.data(), bytes_.size()) == 0;
}

bool IsSealed(std::string_view bytes) { return bytes.starts_with(kSealMarker); }

std::optional<std::string> Seal(std::string_view plain, const SecretKey& key) {
  std::string out(kSealMarker.size() + kNonceBytes + plain.size() + kTagBytes, '\0');
  out.replace(0, kSealMarker.size(), kSealMarker);
  unsigned char* nonce = Bytes(out) + kSealMarker.size();
  unsigned char* body = nonce + kNonceBytes;
  if (RAND_bytes(nonce, static_cast<int>(kNonceBytes)) != 1) return std::nullopt;

  Cipher ctx{EVP_CIPHER_CTX_new()};
  int length{0};
  int finalLength{0};
  // The marker is authenticated too, so the header cannot be swapped unnoticed.
  const bool ok =
      ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) == 1 &&
      EVP_EncryptUpdate(ctx.get(), nullptr, &length, Bytes(kSealMarker),
                        static_cast<int>(kSealMarker.size())) == 1 &&
      EVP_EncryptUpdate(ctx.get(), body, &length, Bytes(plain), static_cast<int>(plain.size())) ==
          1 &&
      EVP_EncryptFinal_ex(ctx.get(), body + length, &finalLength) == 1 &&
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagBytes),
                          body + plain.size()) == 1;
  if (!ok) return std::nullopt;
  return out;
}

std::optional<std::string> Unseal(std::string_view sealed, const SecretKey& key) {
  if (!IsSealed(sealed) || sealed.size() < kSealMarker.size() + kNonceBytes + kTagBytes) {
    return std::nullopt;
  }
  const unsigned char* nonce = Bytes(sealed) + kSealMarker.size();
  const unsigned char* body = nonce + kNonceBytes;
  const size_t bodySize = sealed.size() - kSealMarker.size() - kNonceBytes - kTagBytes;
  // The tag is handed over through a non-const pointer; copy it out of the input.
  std::array<unsigned char, kTagBytes> tag{};
  std::copy(body + bodySize, body + bodySize + kTagBytes, tag.begin());

  std::string plain(bodySize, '\0');
  Cipher ctx{EVP_CIPHER_CTX_new()};
  int length{0};
  int finalLength{0};
  const bool ok =
      ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) == 1 &&
      EVP_DecryptUpdate(ctx.get(), nullptr, &length, Bytes(kSealMarker),
                        static_cast<int>(kSealMarker.size())) == 1 &&
      EVP_DecryptUpdate(ctx.get(), Bytes(plain), &length, body, static_cast<int>(bodySize)) == 1 &&
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagBytes),
                          tag.data()) == 1 &&
      EVP_DecryptFinal_ex(ctx.get(), Bytes(plain) + length, &finalLength) == 1;
  if (!ok) {
    Wipe(plain);
    return std::nullopt;
  }
  return plain;
}

void Wipe(std::string& text) {
  OPENSSL_cleanse(text.data(), text.size());
  text.clear();
}

}  // namespace vlo
