#include "accounts/LoopbackRedirect.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include "net/Http.h"

namespace vlo {

namespace {

constexpr size_t kMaxRequestBytes = 16 * 1024;
constexpr int kReadTimeoutMs = 2000;

// The request head (up to the blank line), read within kReadTimeoutMs in all; nothing when the
// peer sends too much or too slowly, closes, or the sign-in is cancelled meanwhile. A client
// that trickles bytes cannot hold the sign-in past the read time or a cancel.
std::optional<std::string> ReadHead(int fd, const std::function<bool()>& cancelled) {
  std::string head;
  char buffer[2048];
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
  while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
    if (cancelled()) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          until - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 100)));
    if (ready < 0 && errno != EINTR) return std::nullopt;
    if (ready <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return std::nullopt;
    head.append(buffer, static_cast<size_t>(n));
    if (head.size() > kMaxRequestBytes) return std::nullopt;
  }
  return head;
}

void SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void Answer(int fd, int status, std::string_view reason, const std::string& html) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + std::string{reason} +
                         "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                         std::to_string(html.size()) +
                         "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + html;
  SendAll(fd, response);
}

}  // namespace

LoopbackRedirect::~LoopbackRedirect() { Close(); }

LoopbackRedirect::LoopbackRedirect(LoopbackRedirect&& other) noexcept
    : fd_{std::exchange(other.fd_, -1)} {}

LoopbackRedirect& LoopbackRedirect::operator=(LoopbackRedirect&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::string LoopbackRedirect::RedirectUri(int port) {
  return "http://127.0.0.1:" + std::to_string(port) + kCallbackPath;
}

bool LoopbackRedirect::Listen(int port, std::string* error) {
  Close();
  const auto fail = [&](const std::string& text) {
    Close();
    if (error) *error = text;
    return false;
  };
  if (port < 1 || port > 65535) return fail("The sign-in port must be between 1 and 65535");
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0)
    return fail("Could not open the sign-in port (" + std::string{std::strerror(errno)} + ")");
  // A port left in TIME_WAIT by the last sign-in's answer can be bound again at once; one another
  // program listens on still cannot.
  const int reuse = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EADDRINUSE) {
      return fail("Port " + std::to_string(port) +
                  " on this computer is already in use by another program - choose another "
                  "sign-in port for your app under Settings");
    }
    return fail("Could not open the sign-in port " + std::to_string(port) + " (" +
                std::strerror(errno) + ")");
  }
  if (::listen(fd_, 8) != 0) {
    return fail("Could not open the sign-in port " + std::to_string(port) + " (" +
                std::strerror(errno) + ")");
  }
  return true;
}

void LoopbackRedirect::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<LoopbackRedirect::Callback> LoopbackRedirect::Wait(
    Clock& clock, int64_t deadlineMs, const std::function<bool()>& cancelled,
    const std::function<std::string(const Callback&)>& page) {
  std::optional<Callback> result;
  while (fd_ >= 0 && !cancelled() && clock.NowMs() < deadlineMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int peer = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) continue;
    const std::optional<std::string> head = ReadHead(peer, cancelled);
    if (head) {
      // "GET /callback?code=…&state=… HTTP/1.1"
      const std::string_view line = std::string_view{*head}.substr(0, head->find_first_of("\r\n"));
      const size_t space = line.find(' ');
      const size_t end = line.find(' ', space + 1);
      const std::string_view target = space == std::string_view::npos
                                          ? std::string_view{}
                                          : line.substr(space + 1, end - space - 1);
      const std::string_view path = target.substr(0, target.find('?'));
      if (line.starts_with("GET ") && path == kCallbackPath) {
        Callback callback;
        if (const size_t q = target.find('?'); q != std::string_view::npos) {
          callback.query = plx::ParseQuery(target.substr(q + 1));
        }
        Answer(peer, 200, "OK", page(callback));
        result = std::move(callback);
      } else {
        Answer(peer, 404, "Not Found", "<!doctype html><title>Not found</title>");
      }
    }
    ::close(peer);
    if (result) break;
  }
  Close();
  return result;
}

}  // namespace vlo
