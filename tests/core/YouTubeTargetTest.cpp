#include <gtest/gtest.h>

#include "core/YouTubeTarget.h"

namespace vlo {
namespace {

using K = YouTubeTargetKind;

TEST(ParseYouTubeTarget, Table) {
  struct Case {
    const char* input;
    std::optional<YouTubeTarget> expected;
  };
  const std::string channel = "UCabcdefghijklmnopqrstuv";  // 24 characters
  const std::optional<YouTubeTarget> invalid;
  const Case cases[] = {
      {"", YouTubeTarget{}},
      {"   ", YouTubeTarget{}},
      {"https://www.youtube.com/watch?v=abcDEF12345&t=10", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"youtube.com/watch?t=1&v=abcDEF12345#x", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"https://youtube.com/watch?V=abcDEF12345", invalid},  // "v" is case-sensitive
      {"HTTPS://M.YOUTUBE.COM/WATCH?v=abcDEF12345", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"https://youtu.be/abcDEF12345?si=x", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"youtu.be/short", invalid},
      {"https://www.youtube.com/live/abcDEF12345?feature=share",
       YouTubeTarget{K::Video, "abcDEF12345"}},
      {"https://www.youtube.com/shorts/abcDEF12345", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"https://www.youtube.com/embed/abcDEF12345", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"https://www.youtube.com/channel/UCabcdefghijklmnopqrstuv/videos",
       YouTubeTarget{K::Channel, "UCabcdefghijklmnopqrstuv"}},
      {"https://www.youtube.com/channel/ucabcdefghijklmnopqrstuv", invalid},
      {"https://www.youtube.com/@Some.Handle/live", YouTubeTarget{K::ChannelHandle, "Some.Handle"}},
      {"https://www.youtube.com/c/Name", YouTubeTarget{K::ChannelHandle, "Name"}},
      {"https://www.youtube.com/user/Name?x", YouTubeTarget{K::ChannelHandle, "Name"}},
      {"https://www.youtube.com/feed/trending", invalid},
      {"@handle", YouTubeTarget{K::ChannelHandle, "handle"}},
      {"@handle/live", invalid},  // not cut at "/" in this form
      {"@ab", invalid},
      {"UCabcdefghijklmnopqrstuv", YouTubeTarget{K::Channel, "UCabcdefghijklmnopqrstuv"}},
      {"abcDEF12345", YouTubeTarget{K::Video, "abcDEF12345"}},
      {"abc.def.123", YouTubeTarget{K::ChannelHandle, "abc.def.123"}},  // "." is no id character
      {"abcdefghijk", YouTubeTarget{K::Video, "abcdefghijk"}},  // 11 characters: always a video
      {"somehandle", YouTubeTarget{K::ChannelHandle, "somehandle"}},
      {"not valid!", invalid},
      {"https://example.com/watch?v=abcDEF12345", invalid},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseYouTubeTarget(c.input), c.expected) << c.input;
}

TEST(YouTubeTargetLabel, EachKind) {
  EXPECT_EQ(YouTubeTargetLabel({}), "Your live stream");
  EXPECT_EQ(YouTubeTargetLabel({K::Video, "abcDEF12345"}), "Video abcDEF12345");
  EXPECT_EQ(YouTubeTargetLabel({K::ChannelHandle, "name"}), "@name");
  EXPECT_EQ(YouTubeTargetLabel({K::Channel, "UCx"}), "UCx");
}

}  // namespace
}  // namespace vlo
