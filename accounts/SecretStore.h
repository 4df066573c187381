#pragma once

// The configuration and secret store: one OAuth token per platform with the signed-in user's
// identity, and the OAuth client registrations. Owns config.json (read only) and secrets.dpapi
// in the data folder. The file formats are shared with the sibling streaming product, whose
// copies carry further keys.

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "accounts/SecretSeal.h"
#include "core/Accounts.h"
#include "core/Platform.h"

namespace plx {

struct OAuthClient {
  std::string clientId;
  std::string clientSecret;

  bool operator==(const OAuthClient&) const = default;
};

// One client registration each for twitch, youtube, kick and tiktok; all empty by default (the
// program carries no built-in client ids or secrets).
struct OAuthClients {
  OAuthClient twitch;
  OAuthClient youtube;
  OAuthClient kick;
  OAuthClient tiktok;

  // The entry for a platform; YouTube Shorts uses youtube; an unknown platform an empty entry.
  const OAuthClient& For(PlatformId platform) const;

  bool operator==(const OAuthClients&) const = default;
};

}  // namespace plx

namespace vlo {

// The plaintext content of secrets.dpapi.
struct SecretsDocument {
  std::map<std::string, std::string> streamKeys;
  std::map<std::string, plx::TokenRecord> tokens;  // by platform key
  std::map<std::string, plx::OAuthClient> oauthClients;
  std::optional<std::string> obsWebsocketPassword;

  bool operator==(const SecretsDocument&) const = default;
};

// Lenient reading of the plaintext (a document that does not parse gives an empty one) and the
// compact, sorted-key writing with non-ASCII text as it is.
SecretsDocument ParseSecrets(std::string_view json);
std::string SecretsToJson(const SecretsDocument& document);

class SecretProtection;

// Thread-safe: one recursive lock covers every operation, including the file write inside
// SetToken. Called from the window thread, the sign-in worker and, through the account service,
// the reader and action threads. The account service's lock is always taken before this one.
//
// secrets.dpapi is sealed under a per-user key from `SecretProtection`, or plain JSON (mode 0600)
// while no keeper is reachable. A sealed file whose key cannot be read now (a locked keyring, a
// keeper that is not up yet) is never replaced: tokens set meanwhile stay in memory, and each
// SetToken looks for the key again; once found, the file's content and this run's changes are
// merged and written sealed.
class SecretStore {
 public:
  // Creates the data folder (a failure throws std::filesystem::filesystem_error naming
  // "create_directories") and starts loading secrets.dpapi, with the key kept by the desktop's
  // Secret Service. The key look-up runs on a thread of its own, so construction does not wait
  // for the keeper; the first operation waits for the load, which is bounded by the keeper's
  // time-out.
  explicit SecretStore(std::filesystem::path dataFolder);
  // The same with keys from `protection`; nullptr reads and writes the plain form only.
  SecretStore(std::filesystem::path dataFolder, std::unique_ptr<SecretProtection> protection);
  ~SecretStore();
  SecretStore(const SecretStore&) = delete;
  SecretStore& operator=(const SecretStore&) = delete;

  // The record stored under the platform's key, or nothing.
  std::optional<plx::TokenRecord> GetToken(plx::PlatformId platform);
  // Inserts, replaces (a record) or erases (nothing) the platform's entry, then rewrites
  // secrets.dpapi before returning. The result says whether the file was written (never while
  // WaitingForKey); callers do not act on it (the memory keeps the new value and the next call
  // writes again).
  bool SetToken(plx::PlatformId platform, std::optional<plx::TokenRecord> record);
  // Stores (a client) or erases (nothing) the platform's own OAuth client registration, then
  // rewrites secrets.dpapi like SetToken. A stored entry wins over config.json.
  bool SetOAuthClient(plx::PlatformId platform, std::optional<plx::OAuthClient> client);
  // config.json read afresh, overlaid with the stored client entries.
  plx::OAuthClients LoadOAuthClients();

  // True while secrets.dpapi is sealed under a key that cannot be read now, so that tokens set
  // meanwhile are kept in memory only.
  bool WaitingForKey();

  const std::filesystem::path& DataFolder() const { return dataFolder_; }

 private:
  void Load();
  void FinishLoading();
  bool SaveSecrets();
  bool OpenWaitingFile();
  std::optional<SecretKey> FindOrAddKey();

  std::recursive_mutex lock_;
  // Set at construction, then only read.
  const std::filesystem::path dataFolder_;
  const std::filesystem::path configPath_;
  const std::filesystem::path secretsPath_;
  // Used by loader_ alone until it is joined (by the first operation, under lock_, or by the
  // destructor); guarded by lock_ from then on.
  SecretsDocument document_;
  std::optional<SecretKey> key_;  // the key files are sealed under, once known
  bool waitingForKey_{false};
  std::unique_ptr<SecretProtection> protection_;
  // Guarded by lock_.
  std::set<std::string> changed_;         // platform keys SetToken changed in this run
  std::set<std::string> changedClients_;  // platform keys SetOAuthClient changed in this run
  std::thread loader_;
};

}  // namespace vlo
