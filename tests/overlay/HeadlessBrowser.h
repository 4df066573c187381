#pragma once

// Headless Chromium driven over its DevTools pipe (JSON messages ending in a NUL byte on
// descriptors 3 and 4), so that a test can wait for what a page does and then look at it.

#include <fcntl.h>
#include <openssl/evp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

extern char** environ;

namespace vlo::test {

// The chromium program on PATH; empty when there is none.
inline std::filesystem::path FindChromium() {
  const char* path = std::getenv("PATH");
  const std::string folders = path ? path : "";
  size_t at = 0;
  while (at <= folders.size()) {
    size_t end = folders.find(':', at);
    if (end == std::string::npos) end = folders.size();
    const std::filesystem::path candidate =
        std::filesystem::path{folders.substr(at, end - at)} / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

class HeadlessBrowser {
 public:
  // Starts the browser with its profile in `home`; Ok() tells whether it answered.
  HeadlessBrowser(const std::filesystem::path& chromium, const std::filesystem::path& home) {
    int toBrowser[2];
    int fromBrowser[2];
    if (::pipe2(toBrowser, O_CLOEXEC) != 0 || ::pipe2(fromBrowser, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toBrowser[0], 3);
    posix_spawn_file_actions_adddup2(&actions, fromBrowser[1], 4);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string profile = "--user-data-dir=" + (home / "profile").string();
    std::vector<std::string> args{chromium.string(), "--headless", "--no-sandbox", "--disable-gpu",
                                  "--disable-quic", "--no-first-run",
                                  "--disable-background-networking",
                                  "--disable-component-update", "--disable-sync",
                                  "--hide-scrollbars", "--remote-debugging-pipe", profile,
                                  "about:blank"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env{"HOME=" + home.string(), "DBUS_SESSION_BUS_ADDRESS=disabled:",
                                 "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toBrowser[0]);
    ::close(fromBrowser[1]);
    out_ = toBrowser[1];
    in_ = fromBrowser[0];
  }

  ~HeadlessBrowser() {
    if (pid_ > 0) {
      Call("Browser.close", {}, {}, 2000);
      for (int i = 0; i < 50 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (in_ >= 0) ::close(in_);
  }
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  // Opens `url` in a new page of `width` x `height` with a see-through default background.
  bool Open(const std::string& url, int width, int height) {
    const auto target = Call("Target.createTarget", {{"url", "about:blank"}});
    if (!target) return false;
    const auto attached = Call("Target.attachToTarget",
                               {{"targetId", (*target)["targetId"]}, {"flatten", true}});
    if (!attached) return false;
    session_ = (*attached)["sessionId"];
    Call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}},
         session_);
    Call("Emulation.setDefaultBackgroundColorOverride",
         {{"color", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}}}}, session_);
    return Call("Page.navigate", {{"url", url}}, session_).has_value();
  }

  // The value of a JavaScript expression in the page.
  nlohmann::json Evaluate(const std::string& expression) {
    const auto result = Call("Runtime.evaluate",
                             {{"expression", expression}, {"returnByValue", true}}, session_);
    if (!result || !result->contains("result")) return nullptr;
    return (*result)["result"].value("value", nlohmann::json{});
  }

  // Evaluates `expression` until it is true (up to `ms`).
  bool WaitFor(const std::string& expression, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Evaluate(expression) == true) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // The page as PNG bytes.
  std::string Screenshot() {
    const auto result = Call("Page.captureScreenshot", {{"format", "png"}}, session_);
    if (!result) return {};
    const std::string encoded = (*result)["data"];
    std::string bytes(encoded.size() / 4 * 3 + 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(encoded.data()),
                                  static_cast<int>(encoded.size()));
    if (n < 0) return {};
    size_t size = static_cast<size_t>(n);
    for (size_t i = encoded.size(); i > 0 && encoded[i - 1] == '='; --i) --size;  // padding
    bytes.resize(size);
    return bytes;
  }

  bool Ok() const { return pid_ > 0; }

 private:
  std::optional<nlohmann::json> Call(const std::string& method, nlohmann::json params,
                                     const std::string& session = {}, int ms = 15000) {
    if (pid_ <= 0) return std::nullopt;
    const int id = ++nextId_;
    nlohmann::json message{{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!session.empty()) message["sessionId"] = session;
    std::string text = message.dump();
    text.push_back('\0');
    for (size_t sent = 0; sent < text.size();) {
      const ssize_t n = ::write(out_, text.data() + sent, text.size() - sent);
      if (n <= 0) return std::nullopt;
      sent += static_cast<size_t>(n);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const size_t end = buffer_.find('\0');
      if (end != std::string::npos) {
        const auto reply = nlohmann::json::parse(buffer_.substr(0, end), nullptr, false);
        buffer_.erase(0, end + 1);
        if (reply.is_object() && reply.value("id", 0) == id) {
          if (reply.contains("error")) return std::nullopt;
          return reply.value("result", nlohmann::json::object());
        }
        continue;  // an event, or an answer to an earlier call
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{in_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      char chunk[65536];
      const ssize_t n = ::read(in_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  pid_t pid_{-1};
  int out_{-1};
  int in_{-1};
  int nextId_{0};
  std::string session_;
  std::string buffer_;
};

}  // namespace vlo::test
