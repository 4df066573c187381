#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "core/Accounts.h"
#include "logs/ChatLogWriter.h"
#include "logs/LogFormat.h"
#include "tests/Eventually.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

constexpr int64_t kStart = 1796943851000;  // 2026-12-10 23:04:11 UTC

// The process's time zone for the length of a test.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneScope() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

plx::ChatMessage Message(std::string id, plx::PlatformId platform, std::string author,
                         std::string body, std::vector<std::string> tags = {}) {
  plx::ChatMessage m;
  m.id = id;
  m.platform = platform;
  m.author = author;
  m.body = std::move(body);
  m.tags = std::move(tags);
  m.authorId = "id-" + author;
  m.platformMessageId = "pm-" + id;
  return m;
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A hub on a test clock and a writer into a fresh logs folder.
class ChatLogWriterTest : public ::testing::Test {
 protected:
  ChatLogWriterTest() {
    hub_.SetTargets({"velarodemo", "kickdemo", "https://www.youtube.com/watch?v=dQw4w9WgXcQ"});
  }

  std::unique_ptr<ChatLogWriter> Start(ChatLogOptions options = {}) {
    if (options.folder.empty()) options.folder = folder_;
    return std::make_unique<ChatLogWriter>(hub_, std::move(options));
  }

  // File name → content, of every file in the logs folder.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator{folder_, ec}) {
      files[entry.path().filename().string()] = Read(entry.path());
    }
    return files;
  }

  std::vector<std::string> SystemLines() const {
    std::vector<std::string> lines;
    for (const plx::ChatRow& row : hub_.Snapshot()) {
      if (plx::HasTag(row, "system")) lines.push_back(row.body);
    }
    return lines;
  }

  ZoneScope zone_{"UTC"};
  TestClock clock_{kStart};
  NoAccounts accounts_;
  ChatHub hub_{accounts_, clock_};
  test::TempDir dir_;
  std::filesystem::path folder_{LogsFolder(dir_.path())};
};

TEST_F(ChatLogWriterTest, WritesRowsAndMarksDeletionsPerChannel) {
  using plx::PlatformId;
  hub_.AddMessage(Message("before", PlatformId::Twitch, "Early", "not logged"));
  auto writer = Start();
  hub_.AddMessage(Message("t1", PlatformId::Twitch, "SomeUser", "hello there"));
  hub_.AddMessage(Message("k1", PlatformId::Kick, "kicker", "hi from kick"));
  hub_.AddMessage(Message("k2", PlatformId::Kick, "kicker", "spam spam"));
  hub_.AddMessage(Message("y1", PlatformId::YouTube, "Ann", "line one\nline two"));
  hub_.AddMessage(Message("a1", PlatformId::Twitch, "Alert", "velaro_fan subscribed", {"event"}));
  hub_.AddMessage(
      Message("o1", PlatformId::Twitch, "You", "thanks all", {"outbound", "twitch", "kick"}));
  writer->Flush();

  clock_.Advance(49'000);  // 23:05:00
  hub_.ApplyRemoval({RemovalKind::Message, PlatformId::Twitch, "pm-t1"});
  hub_.ApplyRemoval({RemovalKind::Author, PlatformId::Kick, "id-kicker"});
  writer->Flush();
  clock_.Advance(1'000);
  hub_.ApplyRemoval({RemovalKind::Chat, PlatformId::YouTube, ""});
  // A row deleted before the writer saw it is still logged, then marked.
  auto late = Message("t2", PlatformId::Twitch, "Quick", "gone soon");
  late.timestampMs = kStart + 50'000;
  hub_.AddMessage(late);
  hub_.ApplyRemoval({RemovalKind::Message, PlatformId::Twitch, "pm-t2"});
  writer->Flush();
  writer->Stop();

  const std::map<std::string, std::string> expected{
      {"2026-12-10 twitch velarodemo.log",
       "23:04:11 [twitch] SomeUser: hello there\n"
       "23:04:11 [twitch] [alert] velaro_fan subscribed\n"
       "23:04:11 [twitch] [sent] You: thanks all\n"
       "23:05:00 [twitch] [deleted] SomeUser: hello there\n"
       "23:05:01 [twitch] Quick: gone soon\n"
       "23:05:01 [twitch] [deleted] Quick: gone soon\n"},
      {"2026-12-10 kick kickdemo.log",
       "23:04:11 [kick] kicker: hi from kick\n"
       "23:04:11 [kick] kicker: spam spam\n"
       "23:04:11 [kick] [sent] You: thanks all\n"
       "23:05:00 [kick] [deleted] kicker: hi from kick\n"
       "23:05:00 [kick] [deleted] kicker: spam spam\n"},
      {"2026-12-10 youtube dQw4w9WgXcQ.log",
       "23:04:11 [youtube] Ann: line one line two\n"
       "23:05:01 [youtube] [system] A moderator cleared the chat\n"
       "23:05:01 [youtube] [deleted] Ann: line one line two\n"},
  };
  EXPECT_EQ(Files(), expected);
}

TEST_F(ChatLogWriterTest, EachRowGoesToTheFileOfItsOwnLocalDay) {
  ZoneScope zone{"XST-2"};               // two hours ahead of UTC
  clock_.Advance(55 * 60'000 + 47'000);  // 2026-12-10 23:59:58 UTC, 01:59:58 local on the 11th
  auto writer = Start();
  hub_.AddMessage(Message("m1", plx::PlatformId::Twitch, "Ann", "before midnight UTC"));
  writer->Flush();
  clock_.Advance(22 * 3'600'000);  // 23:59:58 local
  hub_.PostSystemLine(plx::PlatformId::Twitch, "last of the day");
  clock_.Advance(3'000);  // 00:00:01 local on the 12th
  // A row stamped by its platform before midnight still belongs to the day before.
  auto late = Message("m2", plx::PlatformId::Twitch, "Bob", "late arrival");
  late.timestampMs = clock_.NowMs() - 4'000;
  hub_.AddMessage(late);
  hub_.AddMessage(Message("m3", plx::PlatformId::Twitch, "Cy", "new day"));
  hub_.ApplyRemoval({RemovalKind::Message, plx::PlatformId::Twitch, "pm-m1"});
  writer->Flush();
  writer.reset();

  const std::map<std::string, std::string> expected{
      {"2026-12-11 twitch velarodemo.log",
       "01:59:58 [twitch] Ann: before midnight UTC\n"
       "23:59:58 [twitch] [system] last of the day\n"
       "23:59:57 [twitch] Bob: late arrival\n"},
      {"2026-12-12 twitch velarodemo.log",
       "00:00:01 [twitch] Cy: new day\n"
       "00:00:01 [twitch] [deleted] Ann: before midnight UTC\n"},
  };
  EXPECT_EQ(Files(), expected);
}

TEST_F(ChatLogWriterTest, AFullFileContinuesInTheNextPart) {
  std::filesystem::create_directories(folder_);
  // A first part already full from an earlier run.
  std::ofstream{folder_ / "2026-12-10 twitch velarodemo.log"} << std::string(59, 'x') << "\n";
  ChatLogOptions options;
  options.maxFileBytes = 60;
  auto writer = Start(options);
  for (const char* id : {"1", "2", "3"}) {
    hub_.AddMessage(Message(id, plx::PlatformId::Twitch, "Ann", std::string{"message "} + id));
  }
  writer->Flush();
  writer.reset();
  const std::string line = "23:04:11 [twitch] Ann: message ";  // 31 bytes + id + newline
  const auto files = Files();
  ASSERT_EQ(files.size(), 4u);
  // A part takes no line that would carry it past the cap: each 33-byte line opens the next.
  EXPECT_EQ(files.at("2026-12-10 twitch velarodemo (2).log"), line + "1\n");
  EXPECT_EQ(files.at("2026-12-10 twitch velarodemo (3).log"), line + "2\n");
  EXPECT_EQ(files.at("2026-12-10 twitch velarodemo (4).log"), line + "3\n");
}

TEST_F(ChatLogWriterTest, AFullDiskIsToldOnceAndLoggingResumes) {
  std::atomic<bool> diskFull{true};
  ChatLogOptions options;
  options.open = [&diskFull](const std::filesystem::path& path) {
    if (diskFull.load()) return ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  };
  auto writer = Start(options);
  hub_.AddMessage(Message("m1", plx::PlatformId::Twitch, "Ann", "lost to the full disk"));
  writer->Flush();
  EXPECT_TRUE(writer->Paused());
  const std::vector<std::string> told{LogPausedText(ENOSPC, folder_)};
  EXPECT_EQ(SystemLines(), told);

  // Paused: nothing is tried until the retry is due, and a failed retry tells nothing new.
  hub_.AddMessage(Message("m2", plx::PlatformId::Twitch, "Bob", "while paused"));
  writer->Flush();
  clock_.Advance(ChatLogWriter::kRetryMs);
  writer->Flush();
  EXPECT_TRUE(writer->Paused());
  EXPECT_EQ(SystemLines(), told);
  EXPECT_TRUE(Files().empty());

  diskFull.store(false);
  clock_.Advance(ChatLogWriter::kRetryMs - 1);
  hub_.AddMessage(Message("m3", plx::PlatformId::Twitch, "Cy", "too early"));
  writer->Flush();
  EXPECT_TRUE(Files().empty());
  clock_.Advance(1);
  writer->Flush();
  EXPECT_FALSE(writer->Paused());
  EXPECT_EQ(SystemLines(), (std::vector<std::string>{told[0], std::string{kLogResumedText}}));
  writer->Flush();
  writer.reset();
  EXPECT_EQ(Files().at("2026-12-10 twitch velarodemo.log"),
            "23:05:11 [twitch] Cy: too early\n"
            "23:05:11 [twitch] [system] Chat log: logging resumed.\n");
  // The rows stay in the chat.
  EXPECT_EQ(hub_.Snapshot().size(), 5u);
}

TEST_F(ChatLogWriterTest, AFolderThatCannotBeWrittenIsTold) {
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
  };
  const std::vector<Case> cases{
      {"a file in the folder's place",
       [](const std::filesystem::path& folder) { std::ofstream{folder} << "not a folder"; }},
      {"a read-only folder",
       [](const std::filesystem::path& folder) {
         std::filesystem::create_directories(folder);
         ::chmod(folder.c_str(), 0500);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string_view{c.name} == "a read-only folder" && ::geteuid() == 0) {
      continue;  // the superuser writes anywhere
    }
    const test::TempDir dir;
    const std::filesystem::path folder = dir.path() / "logs";
    c.make(folder);
    ChatHub hub{accounts_, clock_};
    ChatLogOptions options;
    options.folder = folder;
    ChatLogWriter writer{hub, options};
    hub.AddMessage(Message("m1", plx::PlatformId::Twitch, "Ann", "hello"));
    writer.Flush();
    hub.AddMessage(Message("m2", plx::PlatformId::Twitch, "Ann", "again"));
    writer.Flush();
    std::vector<std::string> system;
    for (const plx::ChatRow& row : hub.Snapshot()) {
      if (plx::HasTag(row, "system")) system.push_back(row.body);
    }
    ASSERT_EQ(system.size(), 1u);
    EXPECT_NE(system[0].find("the logs folder \"" + folder.string() + "\" cannot be written to"),
              std::string::npos)
        << system[0];
    ::chmod(folder.c_str(), 0700);
  }
}

TEST_F(ChatLogWriterTest, ABurstAsLargeAsTheChatIsWrittenWhole) {
  auto writer = Start();
  for (size_t i = 0; i < ChatHub::kMaxRows; ++i) {
    hub_.AddMessage(Message(std::to_string(i), plx::PlatformId::Kick, "Ann", std::to_string(i)));
  }
  writer->Flush();
  const std::string text = Files().at("2026-12-10 kick kickdemo.log");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), ChatHub::kMaxRows);
  EXPECT_TRUE(text.starts_with("23:04:11 [kick] Ann: 0\n"));
  EXPECT_TRUE(text.ends_with("23:04:11 [kick] Ann: 999\n"));
}

TEST_F(ChatLogWriterTest, WritesOutOnItsOwnAndWhenStopped) {
  auto writer = Start();
  auto first = Message("m1", plx::PlatformId::Twitch, "Ann", "on the clock");
  first.timestampMs = clock_.NowMs();
  hub_.AddMessage(first);
  // The writer's own rhythm: a snapshot after kBatchMs, the files written by kFlushMs.
  ASSERT_TRUE(clock_.WaitForSleepers(1));
  clock_.Advance(ChatLogWriter::kFlushMs);
  ASSERT_TRUE(test::Eventually([&] { return Files().size() == 1; }));
  EXPECT_EQ(Files().begin()->second, "23:04:11 [twitch] Ann: on the clock\n");
  auto last = Message("m2", plx::PlatformId::Twitch, "Ann", "at the stop");
  last.timestampMs = clock_.NowMs();
  hub_.AddMessage(last);
  writer.reset();
  EXPECT_EQ(Files().begin()->second,
            "23:04:11 [twitch] Ann: on the clock\n23:04:13 [twitch] Ann: at the stop\n");
}

}  // namespace
}  // namespace vlo
