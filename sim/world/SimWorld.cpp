#include "sim/world/SimWorld.h"

namespace vlo::sim {

namespace {

using plx::PlatformId;

// The login behind a valid token, for the chat service's PASS check.
TwitchChatService::TokenCheck LoginOf(AccountsSim& accounts) {
  return [&accounts](std::string_view token) -> std::optional<std::string> {
    const std::optional<SimGrant> grant = accounts.Validate(PlatformId::Twitch, token);
    if (!grant) return std::nullopt;
    return grant->account.login;
  };
}

// The account id behind a valid token.
std::function<std::optional<std::string>(std::string_view)> AccountOf(AccountsSim& accounts,
                                                                      PlatformId platform) {
  return [&accounts, platform](std::string_view token) -> std::optional<std::string> {
    const std::optional<SimGrant> grant = accounts.Validate(platform, token);
    if (!grant) return std::nullopt;
    return grant->account.id;
  };
}

// The caller behind a valid token, for the chat APIs.
CallerCheck CallerOf(AccountsSim& accounts, PlatformId platform) {
  return [&accounts, platform](std::string_view token) -> std::optional<ApiCaller> {
    std::optional<SimGrant> grant = accounts.Validate(platform, token);
    if (!grant) return std::nullopt;
    return ApiCaller{grant->account.id, grant->account.login, grant->account.displayName,
                     std::move(grant->scopes), grant->clientId};
  };
}

}  // namespace

SimWorld::SimWorld(const SimWorldOptions& options) {
  accounts_ = std::make_unique<AccountsSim>(
      AccountsSim::Servers{portal_, twitchOAuth_, googleOAuth_, kickOAuth_, helix_, youtubeApi_,
                           kickApi_, &googleAccounts_});
  accounts_->AddAccount({PlatformId::Twitch, kTwitchRoomId, kTwitchChannel, "VelaroDemo", ""});
  accounts_->AddAccount({PlatformId::Kick, kKickUserId, kKickChannel, "VelaroDemo", ""});
  accounts_->AddAccount({PlatformId::YouTube, YouTubeDemo::kChannelId,
                         std::string{"@"} + YouTubeDemo::kHandle, YouTubeDemo::kTitle, ""});
  accounts_->AddClient(PlatformId::Twitch, kOwnAppTwitchClientId, "");
  accounts_->AddClient(PlatformId::YouTube, kOwnAppGoogleClientId, kOwnAppGoogleSecret);
  accounts_->AddClient(PlatformId::Kick, kOwnAppKickClientId, kOwnAppKickSecret);
  accounts_->SetAutoApprove(options.autoApproveSignIn ? 0 : -1);
  accounts_->SetOwnAppApproval(options.autoApproveSignIn ? OwnAppApproval::Approve
                                                         : OwnAppApproval::Manual);
  // The fallback is the same portal: a request the primary did not answer is simply sent again.
  endpoints_.portal = endpoints_.portalFallback = accounts_->PortalBase();
  endpoints_.twitchOAuth = twitchOAuth_.BaseUrl();
  endpoints_.googleOAuth = googleOAuth_.BaseUrl();
  endpoints_.googleAccounts = googleAccounts_.BaseUrl();
  endpoints_.kickOAuth = kickOAuth_.BaseUrl();
  endpoints_.twitchHelix = helix_.BaseUrl();

  emotes_ = StartEmoteSim(endpoints_);

  twitch_ = std::make_unique<TwitchChatService>(twitchServer_);
  twitch_->AddChannel(kTwitchChannel, kTwitchRoomId);
  twitch_->SetTokenCheck(LoginOf(*accounts_));
  endpoints_.twitchChat = twitch_->ChatUrl();

  kick_ = std::make_unique<KickSim>(kickWeb_, kickApi_, pusher_);
  kick_->AddChannel(KickSimChannel{kKickChannel, 2000001, 3000001, kKickUserId, true});
  kick_->SetTokenCheck(AccountOf(*accounts_, PlatformId::Kick));
  endpoints_.kickWeb = kick_->WebBase();
  endpoints_.kickApi = kick_->ApiBase();
  endpoints_.pusher = kick_->PusherPattern();

  youtube_ = std::make_unique<YouTubeDemo>(youtubeWeb_, youtubeApi_, options.youtubeRate,
                                           options.seed + 2);
  youtube_->Sim().SetTokenCheck(AccountOf(*accounts_, PlatformId::YouTube));
  endpoints_.youtubeWeb = youtubeWeb_.BaseUrl();
  endpoints_.youtubeApi = youtubeApi_.BaseUrl();

  twitchApi_ =
      std::make_unique<HelixChatApi>(helix_, *twitch_, CallerOf(*accounts_, PlatformId::Twitch));
  kickChatApi_ =
      std::make_unique<KickChatApi>(kickApi_, *kick_, CallerOf(*accounts_, PlatformId::Kick));
  youtubeChatApi_ = std::make_unique<LiveChatApi>(youtubeApi_, youtube_->Sim(),
                                                  CallerOf(*accounts_, PlatformId::YouTube));

  updateSite_ = std::make_unique<UpdateSiteSim>(updateServer_);
  endpoints_.updateSite = updateSite_->Base();

  if (options.twitchRate > 0)
    twitch_->StartTraffic(kTwitchChannel, options.twitchRate, options.seed);
  if (options.kickRate > 0) kick_->StartTraffic(kKickChannel, options.kickRate, options.seed + 1);
}

SimWorld::~SimWorld() {
  // Generators first, then the chat APIs (their delayed work calls into the chats), then the
  // services (the chats before the accounts their token checks ask), then the servers
  // (members, in reverse order).
  twitch_->StopTraffic();
  kick_->StopTraffic();
  updateSite_.reset();
  youtubeChatApi_.reset();
  kickChatApi_.reset();
  twitchApi_.reset();
  youtube_.reset();
  kick_.reset();
  twitch_.reset();
  accounts_.reset();
  emotes_.reset();
}

void SimWorld::AddModerator(PlatformId platform, const std::string& channelId,
                            const std::string& accountId) {
  switch (platform) {
    case PlatformId::Twitch:
      twitchApi_->AddModerator(channelId, accountId);
      break;
    case PlatformId::Kick:
      kickChatApi_->AddModerator(channelId, accountId);
      break;
    case PlatformId::YouTube:
      youtubeChatApi_->AddModerator(channelId, accountId);
      break;
    default:
      break;
  }
}

ChatTargets SimWorld::DemoTargets() const {
  return ChatTargets{kTwitchChannel, kKickChannel, std::string{"@"} + YouTubeDemo::kHandle};
}

}  // namespace vlo::sim
