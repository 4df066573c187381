#include <gtest/gtest.h>

#include "ui/mainwindow/HeaderModel.h"

namespace vlo {
namespace {

TEST(WindowLayout, ConstantsAtDefaultSizeAndMinimum) {
  const WindowLayout l = ComputeLayout(440, 760, false);
  EXPECT_EQ(l.pills[0], QRect(10, 8, 94, 40));  // (440 - 156) / 3 = 94
  EXPECT_EQ(l.pills[1], QRect(110, 8, 94, 40));
  EXPECT_EQ(l.pills[2], QRect(210, 8, 94, 40));
  EXPECT_EQ(l.mentions, QRect(314, 10, 36, 36));
  EXPECT_EQ(l.pin, QRect(354, 10, 36, 36));
  EXPECT_EQ(l.gear, QRect(394, 10, 36, 36));
  EXPECT_TRUE(l.banner.isNull());
  EXPECT_EQ(l.chat, QRect(0, 56, 440, 760 - 52 - 56));
  EXPECT_EQ(l.compose, QRect(0, 708, 440, 52));
  EXPECT_EQ(l.composeEdit, QRect(100, 717, 252, 34));
  EXPECT_EQ(l.sendButton, QRect(358, 717, 72, 34));

  const WindowLayout narrow = ComputeLayout(100, 100, true);
  EXPECT_EQ(narrow.pills[0].width(), 40);
  EXPECT_EQ(narrow.chat.height(), 0);
  EXPECT_EQ(narrow.banner, QRect(0, 56, 100, 30));
  EXPECT_EQ(narrow.composeEdit.width(), 40);
}

TEST(WindowLayout, HitTestOrderAndBannerOnlyWhenShown) {
  const WindowLayout shown = ComputeLayout(440, 760, true);
  EXPECT_EQ(HitTest(shown, {20, 20}, true), kItemTwitch);
  EXPECT_EQ(HitTest(shown, {120, 20}, true), kItemYouTube);
  EXPECT_EQ(HitTest(shown, {220, 47}, true), kItemKick);
  EXPECT_EQ(HitTest(shown, {220, 48}, true), kItemNone);
  EXPECT_EQ(HitTest(shown, {320, 20}, true), kItemMentions);
  EXPECT_EQ(HitTest(shown, {360, 20}, true), kItemPin);
  EXPECT_EQ(HitTest(shown, {400, 20}, true), kItemGear);
  EXPECT_EQ(HitTest(shown, {200, 60}, true), kItemBanner);
  EXPECT_EQ(HitTest(shown, {200, 60}, false), kItemNone);
  EXPECT_EQ(HitTest(shown, {107, 20}, true), kItemNone);  // gap between pills
}

TEST(HeaderTexts, StatusLinesForEachState) {
  struct Case {
    ConnectionState state;
    std::string channel;
    bool signedIn;
    std::string expected;
  };
  const Case cases[] = {
      {ConnectionState::Off, "", false, "Not set up"},
      {ConnectionState::Off, "x", true, "Off"},
      {ConnectionState::Connecting, "x", false, "Connecting…"},
      {ConnectionState::Connected, "somechannel", false, "somechannel"},
      {ConnectionState::Offline, "chan", false, "chan · offline"},
      {ConnectionState::Offline, "", false, "Offline"},
      {ConnectionState::Problem, "chan", false, "Problem – hover for details"},
  };
  for (const Case& c : cases) {
    PlatformStatus s;
    s.state = c.state;
    s.channel = c.channel;
    s.signedIn = c.signedIn;
    EXPECT_EQ(StatusLine(s), c.expected);
  }
}

TEST(HeaderTexts, Tooltips) {
  PlatformStatus s;
  s.channel = "chan";
  s.detail = "Reading anonymously (sign in to send)";
  EXPECT_EQ(PillTooltip(kItemTwitch, s, 0),
            "Twitch: chan\nReading anonymously (sign in to send)\nNot signed in\n"
            "Click to show only this chat");
  PlatformStatus signedIn;
  signedIn.signedIn = true;
  signedIn.account = "Me";
  EXPECT_EQ(PillTooltip(kItemKick, signedIn, kItemKick),
            "Kick\nSigned in as Me\nClick to show all chats again");
  EXPECT_EQ(PinTooltip(true), "Stop keeping the window on top");
  EXPECT_EQ(PinTooltip(false), "Keep the window on top");
}

TEST(RowFilter, PlatformRowsAndOutboundCopiesSentThere) {
  auto row = [](std::string id, plx::PlatformId p, std::vector<std::string> tags = {}) {
    plx::ChatRow r;
    r.id = std::move(id);
    r.platform = p;
    r.tags = std::move(tags);
    return r;
  };
  const std::vector<plx::ChatRow> rows{
      row("tw", plx::PlatformId::Twitch), row("yt", plx::PlatformId::YouTube),
      row("out", plx::PlatformId::Twitch, {"outbound", "kick", "youtube"}),
      row("sys", plx::PlatformId::Kick, {"system"})};
  auto ids = [](const std::vector<plx::ChatRow>& kept) {
    std::vector<std::string> out;
    for (const auto& r : kept) out.push_back(r.id);
    return out;
  };
  EXPECT_EQ(ids(FilterRows(rows, 0)), (std::vector<std::string>{"tw", "yt", "out", "sys"}));
  EXPECT_EQ(ids(FilterRows(rows, 1)), (std::vector<std::string>{"tw"}));
  EXPECT_EQ(ids(FilterRows(rows, 2)), (std::vector<std::string>{"yt", "out"}));
  EXPECT_EQ(ids(FilterRows(rows, 3)), (std::vector<std::string>{"out", "sys"}));
}

TEST(EmptyView, WelcomeWaitingAndFiltered) {
  std::array<PlatformStatus, 3> off{};
  EXPECT_EQ(EmptyViewTexts(off, 0).title, "Welcome to Velaro Chat (Beta)");
  EXPECT_EQ(EmptyViewTexts(off, 2).title, "Welcome to Velaro Chat (Beta)");
  std::array<PlatformStatus, 3> some{};
  some[1].state = ConnectionState::Offline;
  EXPECT_EQ(EmptyViewTexts(some, 0).title, "Waiting for messages…");
  EXPECT_EQ(EmptyViewTexts(some, 1).title, "Nothing from this platform yet");
}

TEST(Placement, SmallOrOffScreenRectanglesAreIgnored) {
  const std::vector<QRect> screens{QRect{0, 0, 1920, 1080}};
  EXPECT_FALSE(ChoosePlacement(100, 100, 150, 900, screens).useStoredPosition);
  EXPECT_EQ(ChoosePlacement(100, 100, 150, 900, screens).rect.size(), QSize(440, 760));
  const Placement kept = ChoosePlacement(100, 100, 500, 700, screens);
  EXPECT_TRUE(kept.useStoredPosition);
  EXPECT_EQ(kept.rect, QRect(100, 100, 500, 700));
  const Placement gone = ChoosePlacement(3000, 100, 500, 700, screens);
  EXPECT_FALSE(gone.useStoredPosition);
  EXPECT_EQ(gone.rect.size(), QSize(440, 760));
}

}  // namespace
}  // namespace vlo

namespace vlo {
namespace {

TEST(HeaderTexts, EmoteFailureLinesBlameTheProviderOnlyWhenItAnswered) {
  const struct {
    const char* reason;
    const char* line;
  } cases[] = {
      {"HTTP 503", "7TV is not answering right now, so its emotes are missing for now"},
      {"unreadable answer", "7TV is not answering right now, so its emotes are missing for now"},
      {"", "7TV is not answering right now, so its emotes are missing for now"},
      {"answer too large", "7TV's answer was too large to read, so its emotes are missing for now"},
      {"network timeout",
       "Could not reach 7TV (network timeout), so its emotes are missing for now"},
      {"the server's certificate is not trusted",
       "Could not reach 7TV (the server's certificate is not trusted), so its emotes are "
       "missing for now"},
  };
  for (const auto& c : cases) EXPECT_EQ(EmoteFailureLine("7TV", c.reason), c.line) << c.reason;
}

}  // namespace
}  // namespace vlo
