#pragma once

// Custody of the per-user key that seals secrets.dpapi. The key lives outside the data folder
// (in the desktop's Secret Service), is shared by every profile of the user and is only ever
// read or added, never replaced: replacing it would make every file sealed under it unreadable.

#include <cstdint>
#include <memory>
#include <vector>

#include "accounts/SecretSeal.h"

namespace vlo {

class Clock;

// What a look-up found.
struct KeyLookup {
  // The keeper answered. False when it is absent, failed or timed out: then nothing is known
  // about what it holds.
  bool reachable{false};
  // The readable keys, oldest first (two processes that each found none may both have added one).
  std::vector<SecretKey> keys;
  // A key of ours exists that cannot be read now (its keyring is locked, or its secret would
  // not load). A new key must not be added then: the file may be sealed under that one.
  bool unreadableKeyExists{false};
};

class SecretProtection {
 public:
  virtual ~SecretProtection() = default;

  // Every key of ours the keeper holds; never creates one, never asks the user anything, and
  // returns within a bounded time. Called with the store's lock held, or by its loader thread.
  virtual KeyLookup FindKeys() = 0;
  // Adds `key` beside any existing ones (never replacing one). False when it could not be
  // stored. Same threads and bound as FindKeys.
  virtual bool AddKey(const SecretKey& key) = 0;
};

// The desktop's Secret Service through libsecret: items labelled "Velaro Chat" of the schema
// "studio.velaro.Chat.SecretKey", the key as hexadecimal text. Every call gives up once
// `timeoutMs` of `clock` time have passed; `clock` must outlive the result.
std::unique_ptr<SecretProtection> MakeSecretServiceProtection(Clock& clock,
                                                              int64_t timeoutMs = 2000);

}  // namespace vlo
