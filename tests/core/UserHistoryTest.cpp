#include <gtest/gtest.h>

#include "core/UserHistory.h"

namespace vlo {
namespace {

plx::ChatMessage Said(std::string authorId, int n,
                      plx::PlatformId platform = plx::PlatformId::Twitch,
                      std::vector<std::string> tags = {}) {
  plx::ChatMessage m;
  m.id = authorId + "-" + std::to_string(n);
  m.platform = platform;
  m.author = "name-" + authorId;
  m.authorId = std::move(authorId);
  m.body = "message " + std::to_string(n);
  m.timestampMs = 1000 + n;
  m.tags = std::move(tags);
  return m;
}

TEST(UserHistoryTest, KeepsTheLastHundredNewestFirstPerPlatformAndAuthor) {
  UserHistory history;
  for (int n = 0; n < 150; ++n) history.Add(Said("7", n));
  history.Add(Said("7", 149));  // the same row again
  history.Add(Said("7", 1, plx::PlatformId::Kick));
  history.Add(Said("7", 2, plx::PlatformId::Twitch, {"system"}));
  history.Add(Said("", 3));
  const auto twitch = history.Of(plx::PlatformId::Twitch, "7");
  ASSERT_EQ(twitch.size(), UserHistory::kPerUser);
  EXPECT_EQ(twitch.front().body, "message 149");
  EXPECT_EQ(twitch.back().body, "message 50");
  EXPECT_EQ(history.Of(plx::PlatformId::Kick, "7").size(), 1u);
  EXPECT_TRUE(history.Of(plx::PlatformId::YouTube, "7").empty());

  history.MarkDeleted(plx::PlatformId::Twitch, "7", "7-148");
  EXPECT_TRUE(history.Of(plx::PlatformId::Twitch, "7")[1].deleted);
  EXPECT_FALSE(history.Of(plx::PlatformId::Twitch, "7")[0].deleted);
}

TEST(UserHistoryTest, TheBudgetForgetsTheAuthorsHeardFromLongestAgo) {
  UserHistory history{64 * 1024};
  for (int user = 0; user < 2000; ++user) {
    for (int n = 0; n < 5; ++n) history.Add(Said(std::to_string(user), n));
    // One early author keeps talking and is never forgotten.
    history.Add(Said("regular", user));
  }
  EXPECT_LE(history.Bytes(), 64u * 1024);
  EXPECT_LT(history.Users(), 2000u);
  EXPECT_EQ(history.Of(plx::PlatformId::Twitch, "regular").size(), UserHistory::kPerUser);
  EXPECT_EQ(history.Of(plx::PlatformId::Twitch, "1999").size(), 5u);
  EXPECT_TRUE(history.Of(plx::PlatformId::Twitch, "0").empty());
}

}  // namespace
}  // namespace vlo
