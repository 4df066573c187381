#include <gtest/gtest.h>

#include "accounts/SecretSeal.h"

namespace vlo {
namespace {

SecretKey KeyOf(unsigned char fill) {
  std::array<unsigned char, kSecretKeyBytes> bytes{};
  bytes.fill(fill);
  return SecretKey{bytes};
}

TEST(SecretSeal, OpensOnlyUnderItsKeyAndShowsNoPlaintext) {
  const std::string plain = R"({"oauth":{"twitch":{"accessToken":"tok-abc-123"}}})";
  const SecretKey key = KeyOf(7);
  const auto sealed = Seal(plain, key);
  ASSERT_TRUE(sealed);
  EXPECT_TRUE(IsSealed(*sealed));
  EXPECT_EQ(sealed->find("tok-abc"), std::string::npos);
  EXPECT_EQ(Unseal(*sealed, key), plain);
  EXPECT_EQ(Unseal(*sealed, KeyOf(8)), std::nullopt);
  // A fresh nonce each time.
  EXPECT_NE(Seal(plain, key), sealed);
  EXPECT_EQ(Unseal(*Seal("", key), key), "");
}

TEST(SecretSeal, AnyChangedOrMissingByteFailsToOpen) {
  const SecretKey key = KeyOf(1);
  const std::string sealed = *Seal("some secret text", key);
  for (size_t i{0}; i < sealed.size(); ++i) {
    std::string changed = sealed;
    changed[i] = static_cast<char>(changed[i] ^ 0x01);
    EXPECT_EQ(Unseal(changed, key), std::nullopt) << "byte " << i;
  }
  for (size_t size{0}; size < sealed.size(); ++size) {
    EXPECT_EQ(Unseal(sealed.substr(0, size), key), std::nullopt) << "size " << size;
  }
  EXPECT_EQ(Unseal(sealed + "x", key), std::nullopt);
}

TEST(SecretSeal, PlainJsonIsNeverTakenForSealed) {
  for (const char* text : {"", "{}", " {\"a\":1}", "\xEF\xBB\xBF{}", "[]", "VLOSEAL", "vloseal1"}) {
    EXPECT_FALSE(IsSealed(text)) << text;
  }
}

TEST(SecretKeyText, HexRoundTripAndRejects) {
  const SecretKey key = *SecretKey::Random();
  std::string hex = key.ToHex();
  EXPECT_EQ(hex.size(), 64u);
  EXPECT_EQ(SecretKey::FromHex(hex), key);
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(SecretKey::FromHex(hex), key);
  EXPECT_EQ(SecretKey::FromHex(hex.substr(1)), std::nullopt);
  EXPECT_EQ(SecretKey::FromHex(hex + "0"), std::nullopt);
  EXPECT_EQ(SecretKey::FromHex(std::string(63, '0') + "g"), std::nullopt);
  EXPECT_NE(*SecretKey::Random(), key);
}

}  // namespace
}  // namespace vlo
