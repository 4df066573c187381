#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "accounts/SecretProtection.h"

namespace vlo::test {

// A key keeper held in memory whose state a test changes while a store uses it: reachable or
// not, its keys readable or locked, answering at once or when released. Counts the keys added.
class MemoryKeeper final : public SecretProtection {
 public:
  struct State {
    std::mutex mutex;  // guards every member below; the store calls from its loader thread too
    bool reachable{true};
    bool locked{false};       // its keys cannot be read
    bool addsRefused{false};  // AddKey fails, as it does for a locked keyring
    bool held{false};         // FindKeys waits while this is set, like a slow keeper
    std::condition_variable released;
    std::vector<SecretKey> keys;
    int added{0};
  };

  explicit MemoryKeeper(std::shared_ptr<State> state) : state_{std::move(state)} {}

  KeyLookup FindKeys() override {
    std::unique_lock lock{state_->mutex};
    state_->released.wait(lock, [this] { return !state_->held; });
    KeyLookup lookup;
    lookup.reachable = state_->reachable;
    if (!lookup.reachable) return lookup;
    if (state_->locked) {
      lookup.unreadableKeyExists = !state_->keys.empty();
    } else {
      lookup.keys = state_->keys;
    }
    return lookup;
  }

  bool AddKey(const SecretKey& key) override {
    std::lock_guard lock{state_->mutex};
    if (!state_->reachable || state_->addsRefused) return false;
    state_->keys.push_back(key);
    ++state_->added;
    return true;
  }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace vlo::test
