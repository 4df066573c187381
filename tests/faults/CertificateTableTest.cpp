// Every TLS connection the program makes refuses a certificate from an authority nobody trusts
// and one made for another host, and says so in words: the readers' statuses, the emote reports,
// the sending results. The relay stands in for the service and presents the certificate itself.

#include <gtest/gtest.h>

#include <functional>

#include "accounts/AccountService.h"
#include "accounts/SecretProtection.h"
#include "accounts/SecretStore.h"
#include "actions/Actions.h"
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/faults/FaultRelay.h"
#include "sim/kick/KickSim.h"
#include "tests/TempDir.h"
#include "tests/faults/FaultFixture.h"
#include "updater/DownloadUpdate.h"

namespace vlo::faults {
namespace {

using plx::PlatformId;
using sim::FaultRelay;
using sim::RelayCertificate;
using sim::SimServer;

// Signed in everywhere with a fixed token, so that every path runs.
class SignedIn final : public AccountOperations {
 public:
  std::optional<plx::TokenRecord> GetFreshToken(PlatformId) override {
    plx::TokenRecord token;
    token.accessToken = "token-1";
    return token;
  }
  plx::AccountInfo AccountFromStore(PlatformId) override {
    plx::AccountInfo info;
    info.signedIn = true;
    info.login = "someone";
    info.userId = "1001";
    return info;
  }
  plx::AccountInfo LookupAccount(PlatformId p) override { return AccountFromStore(p); }
  std::string ClientIdFor(PlatformId) override { return "client-1"; }
};

// Signs in to `platform` with the account service on `endpoints` (the portal, or the user's own
// app when `ownClient` is given) and gives the failed sign-in's text.
std::string SignInProblem(const Endpoints& endpoints, PlatformId platform,
                          std::optional<plx::OAuthClient> ownClient) {
  test::TempDir dir;
  TestClock clock;
  SecretStore store{dir.path(), nullptr};
  if (ownClient) store.SetOAuthClient(platform, *ownClient);
  AccountService service{store, endpoints, [](const std::string&) {}, clock};
  std::mutex lock;
  std::optional<plx::OAuthLoginResult> result;
  service.SetSignInObserver([&](const plx::OAuthLoginResult& r) {
    std::lock_guard guard{lock};
    result = r;
  });
  std::string error;
  if (!service.StartSignIn(platform, &error)) return error;
  Drive(
      clock,
      [&] {
        std::lock_guard guard{lock};
        return result.has_value();
      },
      120'000);
  service.Shutdown();
  std::lock_guard guard{lock};
  return result ? result->message : std::string{};
}

// A place the program connects to, and how it shows the refusal: returns the text a person sees.
struct Service {
  const char* name;
  std::function<std::string(const std::string& relayHttps, const std::string& relayWss)> shown;
};

// Runs one reader until it shows a problem; its detail.
std::string ReaderProblem(PlatformId platform, ReaderEntry entry, ChatTargets targets,
                          AccountOperations& accounts) {
  TestClock clock;
  ChatHub hub{accounts, clock};
  hub.SetTargets(std::move(targets));
  hub.SetReaderEntry(platform, std::move(entry));
  hub.Start();
  std::string detail;
  Drive(
      clock,
      [&] {
        const PlatformStatus status = hub.GetStatus(platform);
        if (status.state != ConnectionState::Problem) return false;
        detail = status.detail;
        return true;
      },
      120'000);
  hub.Stop();
  return detail;
}

const std::vector<Service>& Services() {
  static SignedIn accounts;
  static NoAccounts nobody;
  static const std::vector<Service> services{
      {"Twitch chat",
       [](const std::string&, const std::string& wss) {
         Endpoints endpoints;
         endpoints.twitchChat = wss;
         return ReaderProblem(PlatformId::Twitch, MakeTwitchReader(endpoints), {"chan", "", ""},
                              nobody);
       }},
      {"Kick web site (lookup)",
       [](const std::string& https, const std::string&) {
         Endpoints endpoints;
         endpoints.kickWeb = https;
         return ReaderProblem(PlatformId::Kick, MakeKickReader(endpoints), {"", "velaro", ""},
                              nobody);
       }},
      {"Kick Pusher",
       [](const std::string&, const std::string& wss) {
         SimServer web, api, pusher;
         sim::KickSim kick{web, api, pusher};
         kick.AddChannel({"velaro", 123, 0, "", true});
         Endpoints endpoints;
         endpoints.kickWeb = kick.WebBase();
         endpoints.kickApi = kick.ApiBase();
         endpoints.pusher = wss;
         return ReaderProblem(PlatformId::Kick, MakeKickReader(endpoints), {"", "velaro", ""},
                              nobody);
       }},
      {"Kick public API (own channel)",
       [](const std::string& https, const std::string&) {
         Endpoints endpoints;
         endpoints.kickApi = https;
         return ReaderProblem(PlatformId::Kick, MakeKickReader(endpoints), {}, accounts);
       }},
      {"YouTube web site",
       [](const std::string& https, const std::string&) {
         Endpoints endpoints;
         endpoints.youtubeWeb = https;
         return ReaderProblem(PlatformId::YouTube, MakeYouTubeReader(endpoints),
                              {"", "", "@livechan"}, nobody);
       }},
      {"YouTube Data API",
       [](const std::string& https, const std::string&) {
         SimServer web;  // no live page: only the Data API can tell
         Endpoints endpoints;
         endpoints.youtubeWeb = web.BaseUrl();
         endpoints.youtubeApi = https;
         return ReaderProblem(PlatformId::YouTube, MakeYouTubeReader(endpoints), {}, accounts);
       }},
      {"emote catalogue",
       [](const std::string& https, const std::string&) {
         TestClock clock;
         EmoteRegistry registry{{}, clock};
         std::vector<FetchReport> reports;
         registry.Fetch(PlatformId::Twitch, false, EmoteSource::SevenTv, {},
                        https + "/v3/emote-sets/global", 15000);
         Drive(
             clock,
             [&] {
               for (FetchReport& r : registry.TakeReports()) reports.push_back(r);
               return !reports.empty();
             },
             60'000);
         registry.Stop();
         return reports.empty() ? std::string{} : reports[0].reason;
       }},
      {"image server",
       [](const std::string& https, const std::string&) {
         test::TempDir dir;
         ImageCache cache{dir.path(), 1};
         const std::string key = https + "/emoticons/v2/25/default/dark/2.0";
         cache.GetImage(key);
         if (!Eventually([&] { return cache.IsFailed(key); })) return std::string{};
         // The cache shows the emote's code instead; the transport says why.
         return plx::Get(key, 5000).error;
       }},
      {"Helix (sending)",
       [](const std::string& https, const std::string&) {
         ChatHub hub{accounts};
         hub.SetPlatformId(PlatformId::Twitch, "100");
         Endpoints endpoints;
         endpoints.twitchHelix = https;
         return SendTwitch(hub, endpoints, "hello").detail;
       }},
      {"Kick public API (sending)",
       [](const std::string& https, const std::string&) {
         ChatHub hub{accounts};
         hub.SetPlatformId(PlatformId::Kick, "100");
         Endpoints endpoints;
         endpoints.kickApi = https;
         return SendKick(hub, endpoints, "hello").detail;
       }},
      {"YouTube Data API (sending)",
       [](const std::string& https, const std::string&) {
         ChatHub hub{accounts};
         hub.SetPlatformId(PlatformId::YouTube, "chat-1");
         Endpoints endpoints;
         endpoints.youtubeApi = https;
         return SendYouTube(hub, endpoints, "hello").detail;
       }},
      {"portal (sign-in)",
       [](const std::string& https, const std::string&) {
         Endpoints endpoints;
         endpoints.portal = https;
         endpoints.portalFallback = "";
         return SignInProblem(endpoints, PlatformId::Kick, std::nullopt);
       }},
      {"Twitch OAuth (own app sign-in)",
       [](const std::string& https, const std::string&) {
         Endpoints endpoints;
         endpoints.twitchOAuth = https;
         return SignInProblem(endpoints, PlatformId::Twitch, plx::OAuthClient{"my-app", ""});
       }},
      {"update site (installer download)",
       [](const std::string& https, const std::string&) {
         test::TempDir dir;
         plx::UpdateSite site;
         site.base = https;
         const plx::UpdateRelease release{"9.9.9", plx::InstallerUrl(https, "9.9.9"),
                                          std::string(64, '0'), 4096};
         const std::atomic<bool> cancel{false};
         std::string error;
         plx::DownloadUpdate(site, release, dir.path() / plx::InstallerFileName("9.9.9"), cancel,
                             {}, &error);
         return error;
       }},
  };
  return services;
}

class CertificateTable : public ::testing::TestWithParam<std::tuple<size_t, RelayCertificate>> {};

TEST_P(CertificateTable, RefusedWithAClearText) {
  TrustSimulator();
  const auto [index, certificate] = GetParam();
  const Service& service = Services()[index];
  SimServer anything{SimServer::Transport::Tls};
  FaultRelay relay{anything.Port()};
  relay.SetCertificate(certificate);
  const std::string port = std::to_string(relay.Port());
  const std::string shown = service.shown("https://127.0.0.1:" + port, "wss://127.0.0.1:" + port);
  const std::string sentence = certificate == RelayCertificate::Untrusted
                                   ? "the server's certificate is not trusted"
                                   : "the server's certificate is for another host";
  std::cout << "CERTIFICATES | " << service.name << " | "
            << (certificate == RelayCertificate::Untrusted ? "untrusted" : "other host") << " | "
            << shown << std::endl;
  EXPECT_NE(shown.find(sentence), std::string::npos) << shown;
  EXPECT_GT(relay.Accepted(), 0u);
  EXPECT_EQ(anything.Requests().size(), 0u);  // nothing went past the refused handshake
}

INSTANTIATE_TEST_SUITE_P(
    Services, CertificateTable,
    ::testing::Combine(::testing::Range<size_t>(0, 14),
                       ::testing::Values(RelayCertificate::Untrusted, RelayCertificate::OtherHost)),
    [](const ::testing::TestParamInfo<std::tuple<size_t, RelayCertificate>>& info) {
      std::string name = Services()[std::get<0>(info.param)].name;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name + (std::get<1>(info.param) == RelayCertificate::Untrusted ? "_untrusted"
                                                                            : "_other_host");
    });

}  // namespace
}  // namespace vlo::faults
