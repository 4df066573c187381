#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimServer.h"

namespace vlo::sim {

// What a server does with one request: the routes, the scripted answers, the request log and
// the WebSocket endpoints. No I/O; every member is safe from any thread (one lock).
class SimRouter {
 public:
  void Route(std::string method, std::string path, HttpHandler handler);
  void RoutePrefix(std::string method, std::string prefix, HttpHandler handler);
  void AnswerNext(std::string method, std::string path, int count, HttpAnswer answer);
  void WebSocket(std::string path, WsHandlers handlers);

  // Logs the request; then a scripted answer when one is due for it.
  std::optional<HttpAnswer> Record(const HttpExchange& exchange);
  // The WebSocket handlers for an upgrade to `path`, if any.
  std::optional<WsHandlers> FindWebSocket(const std::string& path) const;
  // Answers from the routes (404 when none matches). Runs the handler without the lock held.
  HttpAnswer Answer(const HttpExchange& exchange) const;

  void AddPeer(std::shared_ptr<WsPeer> peer);

  std::vector<HttpExchange> Requests() const;
  size_t RequestCount(std::string_view path) const;
  void ClearRequests();
  bool WaitForRequests(std::string_view path, size_t count, int timeoutMs) const;
  std::vector<std::shared_ptr<WsPeer>> Peers() const;
  bool WaitForPeers(size_t count, int timeoutMs) const;

 private:
  struct Route_ {
    std::string method;
    std::string path;
    HttpHandler handler;
  };
  struct Scripted {
    std::string method;
    std::string path;
    int remaining;
    HttpAnswer answer;
  };

  size_t CountLocked(std::string_view path) const;

  mutable std::mutex mutex_;  // guards every member below
  mutable std::condition_variable changed_;
  std::vector<Route_> exact_;
  std::vector<Route_> prefixes_;
  std::vector<Scripted> scripted_;
  std::vector<std::pair<std::string, WsHandlers>> sockets_;
  std::vector<HttpExchange> requests_;
  std::vector<std::shared_ptr<WsPeer>> peers_;
};

}  // namespace vlo::sim
