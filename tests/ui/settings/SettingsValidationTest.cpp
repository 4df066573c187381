#include <gtest/gtest.h>

#include "ui/settings/AccountRows.h"
#include "ui/settings/SettingsValidation.h"

namespace vlo {
namespace {

TEST(SettingsValidationTest, FieldsAreNormalisedOrRejectedInOrder) {
  struct Case {
    const char* twitch;
    const char* youtube;
    const char* kick;
    ChannelField failed;
    const char* twitchOut;
    const char* youtubeOut;
    const char* kickOut;
  };
  const Case cases[]{
      {"https://www.twitch.tv/SomeName", "", "", ChannelField::None, "somename", "", ""},
      {"  Streamer_1 ", " \t ", "https://kick.com/Some-User/", ChannelField::None, "streamer_1", "",
       "some-user"},
      // A target with anything but blanks is kept exactly as typed, blanks included.
      {"", "@Handle", "", ChannelField::None, "", "@Handle", ""},
      {"", " @Handle", "", ChannelField::None, "", " @Handle", ""},
      {"", "https://www.youtube.com/watch?v=dQw4w9WgXcQ", "", ChannelField::None, "",
       "https://www.youtube.com/watch?v=dQw4w9WgXcQ", ""},
      // The first failure wins: Twitch, then YouTube, then Kick.
      {"bad name!", "not a link!!", "bad name!", ChannelField::Twitch, "", "", ""},
      {"ok", "not a link!!", "bad name!", ChannelField::YouTube, "", "", ""},
      {"ok", "", "bad name!", ChannelField::Kick, "", "", ""},
      {"has-dash", "", "", ChannelField::Twitch, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string{c.twitch} + " | " + c.youtube + " | " + c.kick);
    const ChannelCheck check{CheckChannelFields(c.twitch, c.youtube, c.kick)};
    EXPECT_EQ(check.failed, c.failed);
    EXPECT_EQ(check.ok(), c.failed == ChannelField::None);
    EXPECT_EQ(check.twitchChannel, c.twitchOut);
    EXPECT_EQ(check.youtubeTarget, c.youtubeOut);
    EXPECT_EQ(check.kickChannel, c.kickOut);
    const std::string_view expectedError{c.failed == ChannelField::Twitch    ? kTwitchFieldError
                                         : c.failed == ChannelField::YouTube ? kYouTubeFieldError
                                         : c.failed == ChannelField::Kick    ? kKickFieldError
                                                                             : ""};
    EXPECT_EQ(check.error, expectedError);
  }
}

TEST(AccountRowsTest, RowsFollowStatusPendingSignInOwnAppAndPrompt) {
  using plx::PlatformId;
  PlatformStatus out;
  PlatformStatus named;
  named.signedIn = true;
  named.account = "alice";
  PlatformStatus unnamed;
  unnamed.signedIn = true;
  const std::optional<SignInPrompt> twitchCode{
      SignInPrompt{PlatformId::Twitch, "https://id.example/activate", "WDJBMJHT"}};
  const std::string ellipsis{"\u2026"};
  struct Case {
    PlatformId platform;
    PlatformStatus status;
    std::optional<PlatformId> pending;
    bool ownApp;
    std::optional<SignInPrompt> prompt;
    AccountRow row;
    AccountAction action;
  };
  const Case cases[]{
      {PlatformId::Twitch,
       out,
       {},
       false,
       {},
       {"Not signed in", "Sign in", ButtonKind::TwitchBrand, true, {}},
       AccountAction::StartSignIn},
      {PlatformId::YouTube,
       out,
       {},
       false,
       {},
       {"Not signed in", "Sign in", ButtonKind::YouTubeBrand, true, {}},
       AccountAction::StartSignIn},
      {PlatformId::Kick,
       out,
       {},
       false,
       {},
       {"Not signed in", "Sign in", ButtonKind::KickBrand, true, {}},
       AccountAction::StartSignIn},
      {PlatformId::Kick,
       named,
       {},
       false,
       {},
       {"Signed in as alice", "Sign out", ButtonKind::Plain, true, {}},
       AccountAction::SignOut},
      {PlatformId::Twitch,
       unnamed,
       {},
       false,
       {},
       {"Signed in as your account", "Sign out", ButtonKind::Plain, true, {}},
       AccountAction::SignOut},
      // This platform's sign-in runs: Cancel, even when a status says signed in.
      {PlatformId::Twitch,
       named,
       PlatformId::Twitch,
       false,
       {},
       {"Finish the sign-in in your browser" + ellipsis, "Cancel", ButtonKind::Plain, true, {}},
       AccountAction::CancelSignIn},
      // Another platform's sign-in runs: the row reads as usual but its button is disabled.
      {PlatformId::YouTube,
       out,
       PlatformId::Twitch,
       false,
       {},
       {"Not signed in", "Sign in", ButtonKind::YouTubeBrand, false, {}},
       AccountAction::StartSignIn},
      {PlatformId::Kick,
       named,
       PlatformId::Twitch,
       false,
       {},
       {"Signed in as alice", "Sign out", ButtonKind::Plain, false, {}},
       AccountAction::SignOut},
      // With the user's own app the idle line says which way the sign-in goes; once signed in
      // or signing in the line is the usual one.
      {PlatformId::Kick,
       out,
       {},
       true,
       {},
       {"Not signed in \u00B7 own app", "Sign in", ButtonKind::KickBrand, true, {}},
       AccountAction::StartSignIn},
      {PlatformId::YouTube,
       named,
       {},
       true,
       {},
       {"Signed in as alice", "Sign out", ButtonKind::Plain, true, {}},
       AccountAction::SignOut},
      {PlatformId::YouTube,
       out,
       PlatformId::YouTube,
       true,
       {},
       {"Finish the sign-in in your browser" + ellipsis, "Cancel", ButtonKind::Plain, true, {}},
       AccountAction::CancelSignIn},
      // Twitch's device sign-in: the code to enter, grouped for reading, with shorter forms.
      {PlatformId::Twitch,
       out,
       PlatformId::Twitch,
       true,
       twitchCode,
       {"Enter the code WDJB-MJHT in your browser" + ellipsis,
        "Cancel",
        ButtonKind::Plain,
        true,
        {"Enter WDJB-MJHT in your browser" + ellipsis, "Code WDJB-MJHT"}},
       AccountAction::CancelSignIn},
      // The prompt belongs to the running sign-in only: other rows ignore it.
      {PlatformId::Kick,
       out,
       PlatformId::Twitch,
       true,
       twitchCode,
       {"Not signed in \u00B7 own app", "Sign in", ButtonKind::KickBrand, false, {}},
       AccountAction::StartSignIn},
      {PlatformId::YouTube,
       out,
       PlatformId::YouTube,
       true,
       twitchCode,
       {"Finish the sign-in in your browser" + ellipsis, "Cancel", ButtonKind::Plain, true, {}},
       AccountAction::CancelSignIn},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plx::PlatformKey(c.platform) + " " + c.row.line);
    EXPECT_EQ(MakeAccountRow(c.platform, c.status, c.pending, c.ownApp, c.prompt), c.row);
    EXPECT_EQ(ChooseAccountAction(c.platform, c.status, c.pending), c.action);
  }
}

TEST(AccountRowsTest, UserCodesAreGroupedForReadingOnlyWhenTheyHaveTheUsualShape) {
  const std::pair<const char*, const char*> cases[]{
      {"ABCDEFGH", "ABCD-EFGH"},  {"abcd1234", "abcd-1234"},
      {"ABCD-EFGH", "ABCD-EFGH"},                              // already grouped
      {"ABCDEFG", "ABCDEFG"},                                  // another length: as given
      {"ABCDEFGHI", "ABCDEFGHI"}, {"ABC\nDEFGH", "ABCDEFGH"},  // no control characters in a label
      {"ABCD EFG", "ABCD EFG"},   {"", ""},
  };
  for (const auto& [code, shown] : cases) {
    SCOPED_TRACE(code);
    EXPECT_EQ(GroupUserCode(code), shown);
  }
}

}  // namespace
}  // namespace vlo
