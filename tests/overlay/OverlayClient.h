#pragma once

// A plain-socket client of the overlay server for tests: raw requests (so that any Host, Origin
// or malformed head can be sent) and an event-stream reader.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace vlo::test {

inline int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline void SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Reads what arrives within `ms`, until the peer closes or `enough` says the text is complete.
template <typename Enough>
std::string ReadFor(int fd, int ms, std::string text, Enough&& enough) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  char buffer[65536];
  while (!enough(text)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

// One request on a new connection; the answer as far as it came in 5 s (head and body; of a
// stream, the head and what came with it).
inline std::string Exchange(int port, const std::string& request) {
  const int fd = ConnectLoopback(port);
  if (fd < 0) return {};
  SendAll(fd, request);
  std::string answer = ReadFor(fd, 5000, {}, [](const std::string& text) {
    const size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const size_t length = text.find("Content-Length: ");
    if (length == std::string::npos || length > end) return true;  // a stream: its head is enough
    return text.size() >= end + 4 + std::stoul(text.substr(length + 16));
  });
  ::close(fd);
  return answer;
}

inline std::string Get(int port, const std::string& target, const std::string& extraHeaders = {}) {
  return Exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                            "\r\n" + extraHeaders + "Connection: close\r\n\r\n");
}

inline int StatusOf(const std::string& answer) {
  return answer.size() > 12 && answer.starts_with("HTTP/1.1 ") ? std::stoi(answer.substr(9, 3))
                                                               : 0;
}

inline std::string BodyOf(const std::string& answer) {
  const size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string{} : answer.substr(end + 4);
}

struct StreamEvent {
  std::string name;
  nlohmann::json data;
};

// The page's live stream: "/events" read one event at a time.
class EventClient {
 public:
  explicit EventClient(int port, const std::string& query = {}) : fd_{ConnectLoopback(port)} {
    if (fd_ >= 0) {
      SendAll(fd_, "GET /events" + query + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                       std::to_string(port) + "\r\n\r\n");
    }
  }
  ~EventClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  EventClient(const EventClient&) = delete;
  EventClient& operator=(const EventClient&) = delete;

  // The next event (pings skipped), or nothing within `ms`.
  std::optional<StreamEvent> Next(int ms = 10000) {
    for (;;) {
      const size_t end = buffer_.find("\n\n");
      if (end == std::string::npos) {
        const size_t before = buffer_.size();
        buffer_ = ReadFor(fd_, ms, std::move(buffer_),
                          [](const std::string& text) { return text.find("\n\n") != std::string::npos; });
        if (buffer_.size() == before) return std::nullopt;
        continue;
      }
      std::string block = buffer_.substr(0, end);
      buffer_.erase(0, end + 2);
      if (const size_t head = block.find("\r\n\r\n"); head != std::string::npos) {
        block.erase(0, head + 4);  // the answer's head came with the first block
      }
      StreamEvent event;
      size_t at = 0;
      while (at < block.size()) {
        size_t eol = block.find('\n', at);
        if (eol == std::string::npos) eol = block.size();
        const std::string line = block.substr(at, eol - at);
        if (line.starts_with("event: ")) event.name = line.substr(7);
        if (line.starts_with("data: ")) event.data = nlohmann::json::parse(line.substr(6));
        at = eol + 1;
      }
      if (!event.name.empty()) return event;
    }
  }

  // Reads events until one named `name` (others are kept out of the way).
  std::optional<StreamEvent> NextNamed(const std::string& name, int ms = 10000) {
    for (;;) {
      std::optional<StreamEvent> event = Next(ms);
      if (!event || event->name == name) return event;
    }
  }

  int Fd() const { return fd_; }

 private:
  int fd_{-1};
  std::string buffer_;
};

}  // namespace vlo::test
