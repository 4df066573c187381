#include "accounts/SecretStore.h"

#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "accounts/SecretProtection.h"
#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "core/Json.h"

namespace vlo {

namespace {

constexpr mode_t kSecretsMode = 0600;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  if (!in) return {};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

std::optional<std::string> UnsealWithAny(std::string_view bytes,
                                         const std::vector<SecretKey>& keys) {
  for (const SecretKey& key : keys) {
    if (auto plain = Unseal(bytes, key)) return plain;
  }
  return std::nullopt;
}

std::filesystem::path CreatedFolder(std::filesystem::path folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw std::filesystem::filesystem_error{"create_directories", folder, ec};
  return folder;
}

}  // namespace

SecretStore::SecretStore(std::filesystem::path dataFolder)
    : SecretStore{std::move(dataFolder), MakeSecretServiceProtection(SystemClock())} {}

SecretStore::SecretStore(std::filesystem::path dataFolder,
                         std::unique_ptr<SecretProtection> protection)
    : dataFolder_{CreatedFolder(std::move(dataFolder))},
      configPath_{dataFolder_ / "config.json"},
      secretsPath_{dataFolder_ / "secrets.dpapi"},
      protection_{std::move(protection)} {
  loader_ = std::thread{[this] { Load(); }};
}

SecretStore::~SecretStore() {
  if (loader_.joinable()) loader_.join();
}

// On the loader thread, before any operation can see the members it fills.
void SecretStore::Load() {
  std::string bytes = ReadFile(secretsPath_);
  KeyLookup lookup = protection_ ? protection_->FindKeys() : KeyLookup{};
  if (IsSealed(bytes)) {
    if (auto plain = UnsealWithAny(bytes, lookup.keys)) {
      document_ = ParseSecrets(*plain);
      Wipe(*plain);
    } else {
      waitingForKey_ = true;
    }
  } else {
    document_ = ParseSecrets(bytes);
  }
  if (!waitingForKey_ && !lookup.keys.empty()) key_ = lookup.keys.front();
  Wipe(bytes);
}

void SecretStore::FinishLoading() {
  if (loader_.joinable()) loader_.join();
}

std::optional<plx::TokenRecord> SecretStore::GetToken(plx::PlatformId platform) {
  std::lock_guard lock{lock_};
  FinishLoading();
  const auto it = document_.tokens.find(plx::PlatformKey(platform));
  if (it == document_.tokens.end()) return std::nullopt;
  return it->second;
}

bool SecretStore::SetToken(plx::PlatformId platform, std::optional<plx::TokenRecord> record) {
  std::lock_guard lock{lock_};
  FinishLoading();
  std::string name = plx::PlatformKey(platform);
  if (record) {
    document_.tokens[name] = std::move(*record);
  } else {
    document_.tokens.erase(name);
  }
  changed_.insert(std::move(name));
  return SaveSecrets();
}

bool SecretStore::SetOAuthClient(plx::PlatformId platform, std::optional<plx::OAuthClient> client) {
  std::lock_guard lock{lock_};
  FinishLoading();
  std::string name = plx::PlatformKey(platform);
  if (client) {
    document_.oauthClients[name] = std::move(*client);
  } else {
    document_.oauthClients.erase(name);
  }
  changedClients_.insert(std::move(name));
  return SaveSecrets();
}

plx::OAuthClients SecretStore::LoadOAuthClients() {
  std::lock_guard lock{lock_};
  FinishLoading();
  plx::OAuthClients clients;
  const std::pair<const char*, plx::OAuthClient*> entries[] = {{"twitch", &clients.twitch},
                                                               {"youtube", &clients.youtube},
                                                               {"kick", &clients.kick},
                                                               {"tiktok", &clients.tiktok}};
  const json::Json config = json::ParseObject(ReadFile(configPath_));
  const json::Json& oauth = json::ObjectMember(config, "oauth");
  for (const auto& [name, client] : entries) {
    const json::Json* id = json::Find(json::ObjectMember(oauth, name), "clientId");
    if (id && id->is_string()) client->clientId = id->get<std::string>();
  }
  // A stored entry wins as a whole, even with empty values: a secret only ever comes from here.
  for (const auto& [name, client] : entries) {
    if (const auto it = document_.oauthClients.find(name); it != document_.oauthClients.end()) {
      *client = it->second;
    }
  }
  return clients;
}

bool SecretStore::WaitingForKey() {
  std::lock_guard lock{lock_};
  FinishLoading();
  return waitingForKey_;
}

bool SecretStore::SaveSecrets() {
  // A file that cannot be opened now still holds tokens this run does not know: it stays.
  if (waitingForKey_ && !OpenWaitingFile()) return false;
  if (!key_ && protection_) key_ = FindOrAddKey();

  std::string text = SecretsToJson(document_);
  std::optional<std::string> sealed;
  if (key_) {
    sealed = Seal(text, *key_);
    if (!sealed) {
      Wipe(text);
      return false;
    }
  }
  const bool written = WriteFileAtomically(secretsPath_, sealed ? *sealed : text, kSecretsMode);
  Wipe(text);
  return written;
}

// Tries the sealed file again; on success the store holds the file's content with this run's
// token changes on top.
bool SecretStore::OpenWaitingFile() {
  const KeyLookup lookup = protection_ ? protection_->FindKeys() : KeyLookup{};
  std::string bytes = ReadFile(secretsPath_);
  // Sealed as before, or replaced by a plain file (or removed) from outside meanwhile.
  std::optional<std::string> plain =
      IsSealed(bytes) ? UnsealWithAny(bytes, lookup.keys) : std::optional{bytes};
  Wipe(bytes);
  if (!plain) return false;

  SecretsDocument merged = ParseSecrets(*plain);
  Wipe(*plain);
  for (const std::string& name : changed_) {
    if (const auto it = document_.tokens.find(name); it != document_.tokens.end()) {
      merged.tokens[name] = it->second;
    } else {
      merged.tokens.erase(name);
    }
  }
  for (const std::string& name : changedClients_) {
    if (const auto it = document_.oauthClients.find(name); it != document_.oauthClients.end()) {
      merged.oauthClients[name] = it->second;
    } else {
      merged.oauthClients.erase(name);
    }
  }
  document_ = std::move(merged);
  if (!lookup.keys.empty()) key_ = lookup.keys.front();
  waitingForKey_ = false;
  return true;
}

// The key to seal with: an existing one, else a new one, added only when the keeper answered
// and holds no key of ours at all (not even a locked one).
std::optional<SecretKey> SecretStore::FindOrAddKey() {
  KeyLookup lookup = protection_->FindKeys();
  if (!lookup.keys.empty()) return lookup.keys.front();
  if (!lookup.reachable || lookup.unreadableKeyExists) return std::nullopt;
  std::optional<SecretKey> fresh = SecretKey::Random();
  if (!fresh || !protection_->AddKey(*fresh)) return std::nullopt;
  // Another process may have added one at the same moment; every process settles on the oldest.
  lookup = protection_->FindKeys();
  return lookup.keys.empty() ? fresh : lookup.keys.front();
}

}  // namespace vlo
