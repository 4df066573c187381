#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <sstream>

#include "app/ChatPrinter.h"
#include "app/Options.h"
#include "core/Json.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

plx::ChatRow Row(std::string id, std::vector<std::string> tags = {}) {
  plx::ChatRow row;
  row.id = std::move(id);
  row.platform = plx::PlatformId::Kick;
  row.author = "dan";
  row.body = "hello \"there\"";
  row.timestampMs = 1709294405000;
  row.tags = std::move(tags);
  row.authorId = "42";
  row.platformMessageId = "m1";
  return row;
}

TEST(ChatPrinter, JsonStreamReportsRowsDeletionsAndStatusChangesOnce) {
  std::ostringstream out;
  ChatPrinter printer{out, true};
  std::array<PlatformStatus, 3> statuses{};
  std::vector<plx::ChatRow> rows{Row("kick-1", {"moderator", "color=#FF0000"})};
  printer.Update(rows, statuses);
  printer.Update(rows, statuses);  // nothing new
  rows[0].deleted = true;
  statuses[2].state = ConnectionState::Connected;
  statuses[2].channel = "chan";
  printer.Update(rows, statuses);

  std::vector<json::Json> lines;
  std::istringstream in{out.str()};
  for (std::string line; std::getline(in, line);) lines.push_back(json::ParseAny(line));
  ASSERT_EQ(lines.size(), 6u) << out.str();
  EXPECT_EQ(lines[0]["type"], "status");
  EXPECT_EQ(lines[0]["platform"], "twitch");
  EXPECT_EQ(lines[3]["type"], "row");
  EXPECT_EQ(lines[3]["id"], "kick-1");
  EXPECT_EQ(lines[3]["platform"], "kick");
  EXPECT_EQ(lines[3]["body"], "hello \"there\"");
  EXPECT_EQ(lines[3]["tags"], json::Json::array({"moderator", "color=#FF0000"}));
  EXPECT_EQ(lines[3]["authorId"], "42");
  EXPECT_EQ(lines[3]["platformMessageId"], "m1");
  EXPECT_EQ(lines[3]["timestampMs"], 1709294405000);
  EXPECT_EQ(lines[3]["deleted"], false);
  EXPECT_EQ(lines[4], (json::Json{{"type", "status"},
                                  {"platform", "kick"},
                                  {"state", "connected"},
                                  {"channel", "chan"},
                                  {"detail", ""},
                                  {"signedIn", false},
                                  {"canSend", false}}));
  EXPECT_EQ(lines[5], (json::Json{{"type", "deleted"}, {"id", "kick-1"}}));
}

TEST(ChatPrinter, ReadableLinesMarkSystemAndAlerts) {
  EXPECT_NE(ChatPrinter::RowText(Row("a")).find("[KI] dan: hello"), std::string::npos);
  EXPECT_NE(ChatPrinter::RowText(Row("b", {"system"})).find("[KI] -- hello"), std::string::npos);
  EXPECT_NE(ChatPrinter::RowText(Row("c", {"event", "raid"})).find("[KI] ** hello"),
            std::string::npos);
}

TEST(Options, OverridesAreNormalisedAndBadOnesRejected) {
  auto parsed = ParseOptions({"velaro-chat", "--twitch=https://twitch.tv/Foo", "--kick=@Bar-1",
                              "--youtube=@handle", "--json", "--profile=p"});
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.options.twitch, "foo");
  EXPECT_EQ(parsed.options.kick, "bar-1");
  EXPECT_EQ(parsed.options.youtube, "@handle");
  EXPECT_TRUE(parsed.options.print);
  EXPECT_EQ(parsed.options.profile, "p");

  EXPECT_FALSE(ParseOptions({"velaro-chat", "--twitch=bad-name"}).error.empty());
  EXPECT_FALSE(ParseOptions({"velaro-chat", "--youtube=not valid!"}).error.empty());
  // Unknown arguments (the toolkit's own, a launcher's) are left alone, not refused.
  const auto foreign = ParseOptions({"velaro-chat", "-platform", "xcb", "--bogus", "--demo"});
  EXPECT_TRUE(foreign.error.empty());
  EXPECT_EQ(foreign.ignored, (std::vector<std::string>{"-platform", "xcb", "--bogus"}));
  EXPECT_TRUE(foreign.options.demo);
}

// The program in --print --json mode stops cleanly on SIGTERM and exits 0.
TEST(PrintMode, SigtermStopsCleanlyWithExitZero) {
  const char* dir = VLO_APP_BINARY;
  const test::TempDir folder;
  const std::string data = folder.path().string();
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    execl(dir, dir, "--print", "--json", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  // The first line is the initial status report; once it is out, the hub is running.
  std::string first;
  char c;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n') first += c;
  EXPECT_EQ(json::ParseAny(first)["type"], "status") << first;
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipeFds[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vlo
