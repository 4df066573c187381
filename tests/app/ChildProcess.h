#pragma once

// A program run as a child process for the tests: arguments, extra environment, its standard
// input and output on pipes, lines read with a bounded wait.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vlo::test {

class ChildProcess {
 public:
  // With `withStderr`, standard error goes to the same pipe as standard output.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env = {},
               bool withStderr = false) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      if (withStderr) dup2(out[1], STDERR_FILENO);
      // As from an interactive terminal: a runner started in the background may have left the
      // stop signals ignored or blocked, and both survive exec.
      signal(SIGINT, SIG_DFL);
      signal(SIGTERM, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
  }

  ~ChildProcess() {
    CloseInput();
    if (stdout_ >= 0) close(stdout_);
    if (pid_ > 0 && !exitCode_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // The next line of standard output, without its line feed; nothing at the end of the output
  // or when `limit` passes first.
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit = std::chrono::seconds{20}) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
      if (const size_t end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd fd{stdout_, POLLIN, 0};
      if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      const ssize_t n = read(stdout_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // Reads lines until one satisfies `match`; nothing when the output ends or `limit` passes.
  template <typename Match>
  std::optional<std::string> ReadUntil(Match match,
                                       std::chrono::milliseconds limit = std::chrono::seconds{20}) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      std::optional<std::string> line = ReadLine(left);
      if (!line || match(*line)) return line;
    }
  }

  void Write(const std::string& text) {
    if (stdin_ >= 0 && write(stdin_, text.data(), text.size()) < 0) CloseInput();
  }
  void CloseInput() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
  }
  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }

  // The exit code, waiting at most `limit`; nothing when the process has not ended by then or
  // ended by a signal.
  std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds{30}) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!exitCode_ && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      usleep(10000);
    }
    if (!exitCode_ || *exitCode_ < 0) return std::nullopt;
    return exitCode_;
  }

 private:
  pid_t pid_{-1};
  int stdin_{-1};
  int stdout_{-1};
  std::string buffer_;
  std::optional<int> exitCode_;
};

}  // namespace vlo::test
