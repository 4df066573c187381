#include <gtest/gtest.h>

#include "ui/mainwindow/ComposeModel.h"

namespace vlo {
namespace {

using plx::PlatformId;

std::array<PlatformStatus, 3> Ready(bool twitch, bool youtube, bool kick) {
  std::array<PlatformStatus, 3> statuses{};
  statuses[0].canSend = twitch;
  statuses[1].canSend = youtube;
  statuses[2].canSend = kick;
  return statuses;
}

TEST(ComposeModel, PlaceholderFollowsReadyPlatformsAndTarget) {
  struct Case {
    bool twitch, youtube, kick;
    int target;
    std::string placeholder;
  };
  const Case cases[] = {
      {false, false, false, 0, "Sign in under Settings to send messages"},
      {false, false, false, 3, "Sign in under Settings to send messages"},
      {false, false, true, 0, "Message Kick"},
      {true, false, true, 0, "Message Twitch and Kick"},
      {true, true, true, 0, "Message Twitch, YouTube and Kick"},
      {true, false, false, 3, "Message Kick"},  // the single target, ready or not
      {true, true, false, 2, "Message YouTube"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposePlaceholder(ReadyPlatforms(Ready(c.twitch, c.youtube, c.kick)), c.target),
              c.placeholder);
  }
}

TEST(ComposeModel, TargetsForAllAndSinglePlatforms) {
  const auto ready = ReadyPlatforms(Ready(true, false, true));
  EXPECT_EQ(ready, (std::vector<PlatformId>{PlatformId::Twitch, PlatformId::Kick}));

  EXPECT_EQ(ResolveComposeTargets(ready, 0).platforms, ready);
  EXPECT_EQ(ResolveComposeTargets(ready, 3).platforms, (std::vector<PlatformId>{PlatformId::Kick}));
  const ComposeTargets notReady = ResolveComposeTargets(ready, 2);
  EXPECT_TRUE(notReady.platforms.empty());
  EXPECT_EQ(notReady.notReadyLine,
            "YouTube chat is not ready for sending - sign in under Settings, or pick another "
            "target.");
  EXPECT_TRUE(ResolveComposeTargets({}, 0).platforms.empty());
  EXPECT_FALSE(ResolveComposeTargets({}, 0).notReadyLine.has_value());
}

TEST(ComposeModel, LabelsAndTrimming) {
  EXPECT_EQ(TargetLabel(0), "All ▾");
  EXPECT_EQ(TargetLabel(1), "Twitch ▾");
  EXPECT_EQ(TargetLabel(2), "YouTube ▾");
  EXPECT_EQ(TargetLabel(3), "Kick ▾");
  EXPECT_EQ(TrimCompose(" \t hi there \r\n"), "hi there");
  EXPECT_EQ(TrimCompose(" \r\n\t "), "");
  EXPECT_EQ(TrimCompose("\u00a0x\u00a0"), "\u00a0x\u00a0");  // only ASCII blanks are trimmed
}

}  // namespace
}  // namespace vlo
