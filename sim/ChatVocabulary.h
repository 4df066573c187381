// Words the simulated chats build viewer names and messages from, shared so that every
// platform's generated traffic sounds like the same crowd.
#pragma once

#include <array>
#include <string_view>

namespace vlo::sim {

inline constexpr std::array<std::string_view, 14> kViewerNameStarts{
    "pixel",  "night", "frost",  "lucky", "turbo", "quiet", "cosmic",
    "mellow", "rapid", "shadow", "honey", "iron",  "xx",    "the"};

inline constexpr std::array<std::string_view, 12> kViewerNameEnds{
    "fox",   "wolf",  "gamer", "_tv",  "byte", "ninja",
    "panda", "storm", "otter", "moth", "lord", "bean"};

inline constexpr std::array<std::string_view, 16> kChatPhrases{"lets go",
                                                               "that was clean",
                                                               "no way",
                                                               "gg",
                                                               "hello chat",
                                                               "first time here",
                                                               "what a play",
                                                               "lol",
                                                               "he is cooking",
                                                               "clip that",
                                                               "chat is this real",
                                                               "W stream",
                                                               "can we get a hype train",
                                                               "this music slaps",
                                                               "how long have you been live?",
                                                               "GG WP"};

}  // namespace vlo::sim
