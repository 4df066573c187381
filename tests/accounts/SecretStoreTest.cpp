#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <sstream>
#include <thread>

#include "accounts/SecretStore.h"
#include "tests/TempDir.h"
#include "tests/accounts/MemoryKeeper.h"
#include "tests/accounts/SecretsPrinting.h"

namespace vlo {
namespace {

using plx::PlatformId;
using plx::TokenRecord;

TokenRecord Token(std::string access, std::string refresh = {}) {
  TokenRecord t;
  t.accessToken = std::move(access);
  if (!refresh.empty()) t.refreshToken = std::move(refresh);
  t.scopes = {"chat:read"};
  t.login = "someone";
  return t;
}

SecretKey KeyOf(unsigned char fill) {
  std::array<unsigned char, kSecretKeyBytes> bytes{};
  bytes.fill(fill);
  return SecretKey{bytes};
}

class SecretStoreTest : public testing::Test {
 protected:
  // Not there yet: the store creates it.
  std::filesystem::path Folder() const { return dir_.path() / "VelaroChat-test"; }
  std::filesystem::path SecretsPath() const { return Folder() / "secrets.dpapi"; }

  std::unique_ptr<SecretStore> Open() {
    return std::make_unique<SecretStore>(Folder(), std::make_unique<test::MemoryKeeper>(keeper_));
  }
  std::unique_ptr<SecretStore> OpenPlain() {
    return std::make_unique<SecretStore>(Folder(), nullptr);
  }

  void Write(std::string_view name, std::string_view text) {
    std::filesystem::create_directories(Folder());
    std::ofstream{Folder() / name, std::ios::binary | std::ios::trunc} << text;
  }
  std::string FileBytes() const {
    std::ifstream in{SecretsPath(), std::ios::binary};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  mode_t FileMode() const {
    struct stat st {};
    return ::stat(SecretsPath().c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  // The file's content, opened with any of the keeper's keys when it is sealed.
  std::optional<SecretsDocument> FileDocument() {
    const std::string bytes = FileBytes();
    if (!IsSealed(bytes)) return ParseSecrets(bytes);
    std::lock_guard lock{keeper_->mutex};
    for (const SecretKey& key : keeper_->keys) {
      if (auto plain = Unseal(bytes, key)) return ParseSecrets(*plain);
    }
    return std::nullopt;
  }
  // A locked keeper refuses new keys too, unless `addsRefused` says otherwise.
  void SetKeeper(bool reachable, bool locked, std::vector<SecretKey> keys,
                 std::optional<bool> addsRefused = std::nullopt) {
    std::lock_guard lock{keeper_->mutex};
    keeper_->reachable = reachable;
    keeper_->locked = locked;
    keeper_->addsRefused = addsRefused.value_or(locked);
    keeper_->keys = std::move(keys);
    keeper_->added = 0;
  }
  int KeysAdded() {
    std::lock_guard lock{keeper_->mutex};
    return keeper_->added;
  }

  test::TempDir dir_;
  std::shared_ptr<test::MemoryKeeper::State> keeper_{std::make_shared<test::MemoryKeeper::State>()};
};

constexpr char kPlainFile[] =
    R"({"streamKeys":{"twitch":"live_secret"},"oauth":{"twitch":{"accessToken":"tw-access",)"
    R"("refreshToken":"tw-refresh","scopes":["chat:read"],"source":"portal"}},)"
    R"("oauthClients":{"kick":{"clientId":"kc","clientSecret":"ks"}},)"
    R"("obsWebsocketPassword":"obs-pw","further":1})";

TEST_F(SecretStoreTest, PlainFileIsReadAndTheNextWriteSealsIt) {
  Write("secrets.dpapi", kPlainFile);
  SecretsDocument expected = ParseSecrets(kPlainFile);
  {
    auto store = Open();
    EXPECT_EQ(store->GetToken(PlatformId::Twitch), expected.tokens["twitch"]);
    EXPECT_EQ(FileBytes(), kPlainFile);  // loading writes nothing
    ASSERT_TRUE(store->SetToken(PlatformId::Kick, Token("kick-access", "kick-refresh")));
  }
  expected.tokens["kick"] = Token("kick-access", "kick-refresh");
  EXPECT_EQ(KeysAdded(), 1);
  const std::string bytes = FileBytes();
  EXPECT_TRUE(IsSealed(bytes));
  for (const char* secret : {"tw-access", "tw-refresh", "kick-access", "live_secret", "obs-pw"}) {
    EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;
  }
  EXPECT_EQ(FileMode(), 0600u);
  EXPECT_EQ(FileDocument(), expected);

  // The next run opens it and keeps sealing under the same key.
  auto store = Open();
  EXPECT_FALSE(store->WaitingForKey());
  EXPECT_EQ(store->GetToken(PlatformId::Kick), expected.tokens["kick"]);
  ASSERT_TRUE(store->SetToken(PlatformId::Twitch, std::nullopt));
  EXPECT_EQ(KeysAdded(), 1);
  expected.tokens.erase("twitch");
  EXPECT_EQ(FileDocument(), expected);
}

TEST_F(SecretStoreTest, WithoutAKeyThePlainFormIsWrittenWithMode0600) {
  struct Case {
    const char* name;
    bool reachable;
    bool locked;
    std::vector<SecretKey> keys;
    bool addsRefused;
    bool keeper;
  };
  // A locked key may seal another profile's file: no key is added beside it, even where the
  // keeper would take one.
  const Case cases[] = {{"no keeper answers", false, false, {}, true, true},
                        {"keyring locked, no key yet", true, true, {}, true, true},
                        {"keyring locked with a key", true, true, {KeyOf(9)}, true, true},
                        {"a key locked elsewhere", true, true, {KeyOf(9)}, false, true},
                        {"no protection at all", false, false, {}, true, false}};
  // The mode holds whatever the umask.
  struct OpenUmask {
    OpenUmask() : old{::umask(0)} {}
    ~OpenUmask() { ::umask(old); }
    mode_t old;
  } openUmask;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Folder());
    SetKeeper(c.reachable, c.locked, c.keys, c.addsRefused);
    auto store = c.keeper ? Open() : OpenPlain();
    ASSERT_TRUE(store->SetToken(PlatformId::Twitch, Token("tw-access")));
    EXPECT_FALSE(IsSealed(FileBytes()));
    EXPECT_EQ(ParseSecrets(FileBytes()).tokens["twitch"], Token("tw-access"));
    EXPECT_EQ(FileMode(), 0600u);
    EXPECT_EQ(KeysAdded(), 0);

    // Each write looks for a key again, and seals once there is one.
    SetKeeper(true, false, c.keys);
    ASSERT_TRUE(store->SetToken(PlatformId::Kick, Token("kick-access")));
    EXPECT_EQ(IsSealed(FileBytes()), c.keeper);
    EXPECT_EQ(FileDocument()->tokens.size(), 2u);
    EXPECT_EQ(FileMode(), 0600u);
  }
}

TEST_F(SecretStoreTest, EveryChangeRewritesTheFileKeepingValuesNotUsedHere) {
  auto plainStore = OpenPlain();
  ASSERT_TRUE(plainStore->SetToken(PlatformId::Kick, std::nullopt));
  EXPECT_EQ(FileBytes(), R"({"oauth":{},"oauthClients":{},"streamKeys":{}})");
  plainStore.reset();

  Write("secrets.dpapi", kPlainFile);
  auto store = OpenPlain();
  ASSERT_TRUE(store->SetToken(PlatformId::YouTube, std::nullopt));  // not stored: still written
  EXPECT_EQ(FileBytes(),
            R"({"oauth":{"twitch":{"accessToken":"tw-access","refreshToken":"tw-refresh",)"
            R"("scopes":["chat:read"],"source":"portal"}},)"
            R"("oauthClients":{"kick":{"clientId":"kc","clientSecret":"ks"}},)"
            R"("obsWebsocketPassword":"obs-pw","streamKeys":{"twitch":"live_secret"}})");
}

// A sealed file whose key cannot be read now is left as it is; tokens set meanwhile live in
// memory, and once the key is back the file's content and this run's changes are merged.
TEST_F(SecretStoreTest, SealedFileThatCannotBeOpenedIsNeverReplaced) {
  struct Case {
    const char* name;
    bool reachable;
    bool locked;
    std::vector<SecretKey> keys;
  };
  const SecretKey key = KeyOf(1);
  const Case cases[] = {{"keyring locked", true, true, {key}},
                        {"no keeper answers", false, false, {}},
                        {"the key is not there", true, false, {}},
                        {"another key", true, false, {KeyOf(2)}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Folder());
    Write("secrets.dpapi", kPlainFile);
    SetKeeper(true, false, {key});
    {
      auto store = Open();
      ASSERT_TRUE(store->SetToken(PlatformId::YouTube, Token("yt-access")));
    }
    const std::string sealed = FileBytes();
    ASSERT_TRUE(IsSealed(sealed));
    SecretsDocument expected = *FileDocument();

    SetKeeper(c.reachable, c.locked, c.keys);
    auto store = Open();
    EXPECT_TRUE(store->WaitingForKey());
    EXPECT_EQ(store->GetToken(PlatformId::Twitch), std::nullopt);
    EXPECT_FALSE(store->SetToken(PlatformId::Kick, Token("kick-access")));
    EXPECT_FALSE(store->SetToken(PlatformId::YouTube, std::nullopt));
    EXPECT_EQ(store->GetToken(PlatformId::Kick), Token("kick-access"));
    EXPECT_EQ(FileBytes(), sealed);
    EXPECT_EQ(KeysAdded(), 0);
    EXPECT_EQ(store->LoadOAuthClients().kick, plx::OAuthClient{});

    // The key is back: this run's platforms win, everything else comes from the file.
    SetKeeper(true, false, {key});
    ASSERT_TRUE(store->SetToken(PlatformId::Twitch, Token("tw-new")));
    EXPECT_FALSE(store->WaitingForKey());
    EXPECT_EQ(store->LoadOAuthClients().kick, (plx::OAuthClient{"kc", "ks"}));
    expected.tokens["twitch"] = Token("tw-new");
    expected.tokens["kick"] = Token("kick-access");
    expected.tokens.erase("youtube");
    EXPECT_TRUE(IsSealed(FileBytes()));
    EXPECT_EQ(FileDocument(), expected);
    store.reset();
    EXPECT_EQ(Open()->GetToken(PlatformId::Kick), Token("kick-access"));
    EXPECT_EQ(KeysAdded(), 0);
  }
}

TEST_F(SecretStoreTest, OpensUnderAnyKeyAndSealsUnderTheOldest) {
  const SecretKey older = KeyOf(3);
  const SecretKey newer = KeyOf(4);
  SetKeeper(true, false, {newer});
  Open()->SetToken(PlatformId::Twitch, Token("tw-access"));
  ASSERT_TRUE(Unseal(FileBytes(), newer));

  // Another process added a key at the same moment, and its key is older.
  SetKeeper(true, false, {older, newer});
  auto store = Open();
  EXPECT_EQ(store->GetToken(PlatformId::Twitch), Token("tw-access"));
  ASSERT_TRUE(store->SetToken(PlatformId::Kick, Token("kick-access")));
  const auto plain = Unseal(FileBytes(), older);
  ASSERT_TRUE(plain);
  EXPECT_EQ(ParseSecrets(*plain).tokens.size(), 2u);
}

TEST_F(SecretStoreTest, ConstructionDoesNotWaitForTheKeeper) {
  SetKeeper(true, false, {KeyOf(5)});
  Open()->SetToken(PlatformId::Twitch, Token("tw-access"));

  {
    std::lock_guard lock{keeper_->mutex};
    keeper_->held = true;
  }
  auto store = Open();  // returns although the keeper does not answer
  auto token = std::async(std::launch::async, [&] { return store->GetToken(PlatformId::Twitch); });
  EXPECT_EQ(token.wait_for(std::chrono::milliseconds{50}), std::future_status::timeout);
  {
    std::lock_guard lock{keeper_->mutex};
    keeper_->held = false;
  }
  keeper_->released.notify_all();
  EXPECT_EQ(token.get(), Token("tw-access"));
}

TEST_F(SecretStoreTest, OAuthClientsComeFromConfigWithStoredEntriesWinning) {
  struct Case {
    const char* config;  // nullptr: no config.json
    const char* stored;  // the "oauthClients" of secrets.dpapi
    plx::OAuthClients expected;
  };
  auto clients = [](plx::OAuthClient twitch, plx::OAuthClient youtube, plx::OAuthClient kick,
                    plx::OAuthClient tiktok) {
    return plx::OAuthClients{std::move(twitch), std::move(youtube), std::move(kick),
                             std::move(tiktok)};
  };
  const Case cases[] = {
      {R"({"oauth":{"twitch":{"clientId":"cfg-t"}}})", R"({"twitch":{"clientId":""}})",
       clients({}, {}, {}, {})},
      {R"({"oauth":{"twitch":{"clientId":"cfg-t","clientSecret":"no"},"kick":{"clientId":"cfg-k"},
                    "youtube":{"clientId":5},"tiktok":"cfg-tt"},"other":1})",
       "{}", clients({"cfg-t", ""}, {}, {"cfg-k", ""}, {})},
      {R"({"oauth":{"twitch":{"clientId":"cfg-t"},"youtube":{"clientId":"cfg-y"}}})",
       R"({"youtube":{"clientId":"sy","clientSecret":"ss"},"youtube-shorts":{"clientId":"z"},
           "tiktok":{"clientSecret":"ts"}})",
       clients({"cfg-t", ""}, {"sy", "ss"}, {}, {"", "ts"})},
      {"{not json", R"({"kick":{"clientId":"sk","clientSecret":"ks"}})",
       clients({}, {}, {"sk", "ks"}, {})},
      {R"({"oauth":[{"twitch":{"clientId":"cfg-t"}}]})", "{}", clients({}, {}, {}, {})},
      {nullptr, "{}", clients({}, {}, {}, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config ? c.config : "no config.json");
    std::filesystem::remove_all(Folder());
    if (c.config) Write("config.json", c.config);
    Write("secrets.dpapi", std::string{R"({"oauthClients":)"} + c.stored + "}");
    EXPECT_EQ(OpenPlain()->LoadOAuthClients(), c.expected);
  }

  // config.json is read afresh on every call.
  std::filesystem::remove_all(Folder());
  auto store = OpenPlain();
  EXPECT_EQ(store->LoadOAuthClients().twitch.clientId, "");
  Write("config.json", R"({"oauth":{"twitch":{"clientId":"later"}}})");
  EXPECT_EQ(store->LoadOAuthClients().twitch.clientId, "later");
}

TEST_F(SecretStoreTest, AFolderThatCannotBeCreatedThrowsNamingTheStep) {
  Write("in-the-way", "a file, not a folder");
  try {
    SecretStore store{Folder() / "in-the-way" / "VelaroChat", nullptr};
    FAIL() << "no exception";
  } catch (const std::filesystem::filesystem_error& e) {
    EXPECT_NE(std::string{e.what()}.find("create_directories"), std::string::npos) << e.what();
  }
}

// A process killed at any moment of a write leaves a file that opens and holds every token it
// held before.
TEST_F(SecretStoreTest, KilledWhileWritingNeverLosesTokens) {
  SetKeeper(true, false, {KeyOf(6)});
  {
    auto store = Open();
    ASSERT_TRUE(store->SetToken(PlatformId::YouTube, Token("yt-kept")));
    ASSERT_TRUE(store->SetToken(PlatformId::Twitch, Token("tw-0")));
  }
  std::mt19937 random{4242};
  bool kickWritten{false};
  for (int round = 0; round < 20; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SecretStore store{Folder(), std::make_unique<test::MemoryKeeper>(keeper_)};
      for (int i = 1;; ++i) {
        const bool twitch = i % 2 == 1;
        store.SetToken(twitch ? PlatformId::Twitch : PlatformId::Kick,
                       Token((twitch ? "tw-" : "kick-") + std::to_string(i)));
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds{1000 + random() % 20000});
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    SCOPED_TRACE("round " + std::to_string(round));
    const auto document = FileDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->tokens.at("youtube"), Token("yt-kept"));
    EXPECT_TRUE(document->tokens.at("twitch").accessToken.starts_with("tw-"));
    if (kickWritten) {
      EXPECT_EQ(document->tokens.count("kick"), 1u);
    }
    kickWritten = document->tokens.count("kick") == 1;
  }
}

}  // namespace
}  // namespace vlo
