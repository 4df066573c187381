#pragma once

// The sealed form of secrets.dpapi: "VLOSEAL1", a 12-byte nonce, the AES-256-GCM ciphertext of
// the JSON text and the 16-byte tag. The marker can never begin a JSON text, so the two forms of
// the file are told apart by their first bytes.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vlo {

inline constexpr std::string_view kSealMarker = "VLOSEAL1";
inline constexpr size_t kSecretKeyBytes = 32;

// A 256-bit key, wiped when it goes.
class SecretKey {
 public:
  SecretKey() = default;
  explicit SecretKey(const std::array<unsigned char, kSecretKeyBytes>& bytes);
  SecretKey(const SecretKey& other);
  SecretKey& operator=(const SecretKey& other);
  ~SecretKey();

  // A fresh random key; nothing when the random generator failed.
  static std::optional<SecretKey> Random();
  // From 64 hexadecimal digits (either case); nothing for anything else.
  static std::optional<SecretKey> FromHex(std::string_view hex);
  // 64 lower-case hexadecimal digits; the caller wipes the text when done with it.
  std::string ToHex() const;

  const unsigned char* data() const { return bytes_.data(); }
  bool operator==(const SecretKey& other) const;

 private:
  std::array<unsigned char, kSecretKeyBytes> bytes_{};
};

// Whether `bytes` are in the sealed form (whether or not they would open).
bool IsSealed(std::string_view bytes);
// The sealed form of `plain` under `key` with a fresh nonce; nothing when sealing failed.
std::optional<std::string> Seal(std::string_view plain, const SecretKey& key);
// The plain text of sealed bytes; nothing when they are not sealed, are cut short or do not
// authenticate under `key`.
std::optional<std::string> Unseal(std::string_view sealed, const SecretKey& key);

// Overwrites the text's bytes before it is freed; for buffers that held a token or a key.
void Wipe(std::string& text);

}  // namespace vlo
