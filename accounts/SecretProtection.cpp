#include "accounts/SecretProtection.h"

#include <libsecret/secret.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

#include "core/Clock.h"

namespace vlo {

namespace {

constexpr char kLabel[] = "Velaro Chat";
constexpr char kSchemaName[] = "studio.velaro.Chat.SecretKey";
constexpr char kAttribute[] = "purpose";

// Items are found by their attribute alone: a keyring that is locked cannot be searched by
// schema name, and a locked key must be found as well as a readable one.
const SecretSchema* Schema() {
  static const SecretSchema schema = [] {
    SecretSchema s{};
    s.name = kSchemaName;
    s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
    s.attributes[0] = {kAttribute, SECRET_SCHEMA_ATTRIBUTE_STRING};
    return s;
  }();
  return &schema;
}

GHashTable* Attributes() {
  return secret_attributes_build(Schema(), kAttribute, kSchemaName, nullptr);
}

// Gives each call a cancellable that is cancelled once `timeoutMs` of the clock's time have
// passed: a hung service otherwise blocks a call for the bus's own time-out of many seconds. The
// watchdog thread of a finished call notices within one step of the clock; it is joined at the
// next call or at destruction instead of being waited for by the call itself.
class Watchdogs {
 public:
  Watchdogs(Clock& clock, int64_t timeoutMs) : clock_{clock}, timeoutMs_{timeoutMs} {}
  ~Watchdogs() {
    std::lock_guard lock{lock_};
    if (last_.joinable()) last_.join();
  }
  Watchdogs(const Watchdogs&) = delete;
  Watchdogs& operator=(const Watchdogs&) = delete;

  // Runs `work` with the cancellable. Any thread.
  template <typename Work>
  auto Run(Work work) {
    // One reference for the call and one for the watchdog, which may end first or last.
    g_autoptr(GCancellable) cancellable = g_cancellable_new();
    GCancellable* watched = G_CANCELLABLE(g_object_ref(cancellable));
    auto done = std::make_shared<std::atomic<bool>>(false);  // set here, read by the watchdog
    std::thread watchdog{[this, watched, done] {
      if (clock_.WaitWhile(timeoutMs_, [&done] { return !done->load(); })) {
        g_cancellable_cancel(watched);
      }
      g_object_unref(watched);
    }};
    auto result = work(cancellable);
    done->store(true);
    std::lock_guard lock{lock_};
    if (last_.joinable()) last_.join();
    last_ = std::move(watchdog);
    return result;
  }

 private:
  Clock& clock_;
  const int64_t timeoutMs_;
  std::mutex lock_;   // guards last_
  std::thread last_;  // the watchdog of the latest call
};

// A connection of its own for each call (rather than libsecret's shared one), so a keyring
// daemon that was restarted since the last call is simply found again.
SecretService* OpenService(GCancellable* cancellable) {
  GError* error{nullptr};
  SecretService* service = secret_service_open_sync(
      SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_OPEN_SESSION, cancellable, &error);
  g_clear_error(&error);
  return service;
}

struct FoundKey {
  guint64 created;
  std::string path;
  SecretKey key;
};

KeyLookup Search(GCancellable* cancellable) {
  KeyLookup result;
  g_autoptr(SecretService) service = OpenService(cancellable);
  if (!service) return result;
  g_autoptr(GHashTable) attributes = Attributes();
  GError* error{nullptr};
  // Without SECRET_SEARCH_UNLOCK: locked items are listed but never unlocked, so nothing
  // prompts the user and a locked key is told apart from a missing one.
  GList* items = secret_service_search_sync(
      service, Schema(), attributes,
      static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS), cancellable,
      &error);
  if (error) {
    g_clear_error(&error);
    g_list_free_full(items, g_object_unref);
    return result;
  }
  result.reachable = true;

  std::vector<FoundKey> found;
  for (GList* node = items; node; node = node->next) {
    SecretItem* item = SECRET_ITEM(node->data);
    g_autoptr(SecretValue) value =
        secret_item_get_locked(item) ? nullptr : secret_item_get_secret(item);
    if (!value) {
      result.unreadableKeyExists = true;
      continue;
    }
    gsize length{0};
    const gchar* text = secret_value_get(value, &length);
    // Anything but a key of ours cannot have sealed a file; it is passed over.
    if (auto key = SecretKey::FromHex({text, length})) {
      found.push_back({secret_item_get_created(item),
                       g_dbus_proxy_get_object_path(G_DBUS_PROXY(item)), std::move(*key)});
    }
  }
  g_list_free_full(items, g_object_unref);

  std::sort(found.begin(), found.end(), [](const FoundKey& a, const FoundKey& b) {
    return std::tie(a.created, a.path) < std::tie(b.created, b.path);
  });
  for (FoundKey& f : found) result.keys.push_back(f.key);
  return result;
}

bool Add(const SecretKey& key, GCancellable* cancellable) {
  g_autoptr(SecretService) service = OpenService(cancellable);
  if (!service) return false;
  GError* error{nullptr};
  g_autoptr(SecretCollection) collection = secret_collection_for_alias_sync(
      service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, cancellable, &error);
  g_clear_error(&error);
  // Storing into a locked collection would ask the user to unlock it; that is left to the
  // desktop, and the key is added on a later try.
  if (!collection || secret_collection_get_locked(collection)) return false;

  std::string hex = key.ToHex();
  g_autoptr(SecretValue) value =
      secret_value_new(hex.data(), static_cast<gssize>(hex.size()), "text/plain");
  Wipe(hex);
  g_autoptr(GHashTable) attributes = Attributes();
  g_autoptr(SecretItem) item =
      secret_item_create_sync(collection, Schema(), attributes, kLabel, value,
                              SECRET_ITEM_CREATE_NONE, cancellable, &error);
  g_clear_error(&error);
  return item != nullptr;
}

class SecretServiceProtection final : public SecretProtection {
 public:
  SecretServiceProtection(Clock& clock, int64_t timeoutMs) : watchdogs_{clock, timeoutMs} {}

  KeyLookup FindKeys() override { return watchdogs_.Run(Search); }

  bool AddKey(const SecretKey& key) override {
    return watchdogs_.Run([&key](GCancellable* cancellable) { return Add(key, cancellable); });
  }

 private:
  Watchdogs watchdogs_;
};

}  // namespace

std::unique_ptr<SecretProtection> MakeSecretServiceProtection(Clock& clock, int64_t timeoutMs) {
  return std::make_unique<SecretServiceProtection>(clock, timeoutMs);
}

}  // namespace vlo
