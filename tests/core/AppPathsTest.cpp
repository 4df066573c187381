#include <gtest/gtest.h>

#include <cstdlib>

#include "core/AppPaths.h"

namespace vlo {
namespace {

TEST(ParseProfile, Table) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const std::string p32(32, 'p');
  const Case cases[] = {
      {{"prog", "--profile=work", "--profile=stream"}, "stream"},
      {{"prog", "--profile=my profile"}, ""},
      {{"prog", "--profile=" + p32}, p32},
      {{"prog", "--profile=" + p32 + "x"}, ""},
      {{"prog", "--profile=work", "--profile="}, ""},
      {{"prog", "--profile=a-b_C9"}, "a-b_C9"},
      {{"prog", "--profile=Äpfel"}, "Äpfel"},  // Unicode letters count
      {{"prog", "--profile=a/b"}, ""},
      {{"prog", "--profile=\xff\xfe"}, ""},  // not UTF-8
      {{"prog", "profile=x", "--profilex"}, ""},
      {{"--profile=ignored-program-name"}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseProfile(c.args), c.expected) << c.args.back();
}

TEST(ParseProfile, LengthCountsCharactersNotBytes) {
  std::string thirtyTwo;
  for (int i = 0; i < 32; ++i) thirtyTwo += "ä";
  EXPECT_EQ(ParseProfile({"prog", "--profile=" + thirtyTwo}), thirtyTwo);
  EXPECT_EQ(ParseProfile({"prog", "--profile=" + thirtyTwo + "ä"}), "");
}

TEST(AppPaths, TitlesInstanceNamesAndDataFolders) {
  EXPECT_EQ(MakeWindowTitle(""), "Velaro Chat (Beta)");
  EXPECT_EQ(MakeWindowTitle("a"), "Velaro Chat (Beta, a)");
  EXPECT_EQ(SingleInstanceName(""), "VelaroChat_SingleInstance");
  EXPECT_EQ(SingleInstanceName("a"), "VelaroChat_SingleInstance_a");

  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string restore = saved ? saved : "";
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(AppPaths::ResolveDataFolder(""), "/data/home/VelaroChat");
  EXPECT_EQ(AppPaths::ResolveDataFolder("a"), "/data/home/VelaroChat-a");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(AppPaths::ResolveDataFolder(""), "/home/someone/.local/share/VelaroChat");
  if (saved) {
    setenv("XDG_DATA_HOME", restore.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

}  // namespace
}  // namespace vlo
