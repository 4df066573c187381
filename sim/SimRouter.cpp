#include "sim/SimRouter.h"

#include <algorithm>
#include <chrono>

namespace vlo::sim {
namespace {

bool MethodMatches(const std::string& routeMethod, const std::string& method) {
  return routeMethod == "*" || routeMethod == method;
}

}  // namespace

void SimRouter::Route(std::string method, std::string path, HttpHandler handler) {
  std::lock_guard lock{mutex_};
  std::erase_if(exact_, [&](const Route_& r) { return r.method == method && r.path == path; });
  exact_.push_back({std::move(method), std::move(path), std::move(handler)});
}

void SimRouter::RoutePrefix(std::string method, std::string prefix, HttpHandler handler) {
  std::lock_guard lock{mutex_};
  std::erase_if(prefixes_, [&](const Route_& r) { return r.method == method && r.path == prefix; });
  prefixes_.push_back({std::move(method), std::move(prefix), std::move(handler)});
  // Longest prefix first; equal lengths keep their order.
  std::stable_sort(prefixes_.begin(), prefixes_.end(),
                   [](const Route_& a, const Route_& b) { return a.path.size() > b.path.size(); });
}

void SimRouter::AnswerNext(std::string method, std::string path, int count, HttpAnswer answer) {
  if (count <= 0) return;
  std::lock_guard lock{mutex_};
  scripted_.push_back({std::move(method), std::move(path), count, std::move(answer)});
}

void SimRouter::WebSocket(std::string path, WsHandlers handlers) {
  std::lock_guard lock{mutex_};
  std::erase_if(sockets_, [&](const auto& entry) { return entry.first == path; });
  sockets_.emplace_back(std::move(path), std::move(handlers));
}

std::optional<HttpAnswer> SimRouter::Record(const HttpExchange& exchange) {
  std::lock_guard lock{mutex_};
  requests_.push_back(exchange);
  changed_.notify_all();
  for (auto it{scripted_.begin()}; it != scripted_.end(); ++it) {
    if (it->path != exchange.path || !MethodMatches(it->method, exchange.method)) continue;
    HttpAnswer answer{it->answer};
    if (--it->remaining <= 0) scripted_.erase(it);
    return answer;
  }
  return std::nullopt;
}

std::optional<WsHandlers> SimRouter::FindWebSocket(const std::string& path) const {
  std::lock_guard lock{mutex_};
  for (const auto& [socketPath, handlers] : sockets_) {
    if (socketPath == path) return handlers;
  }
  return std::nullopt;
}

HttpAnswer SimRouter::Answer(const HttpExchange& exchange) const {
  HttpHandler handler;
  {
    std::lock_guard lock{mutex_};
    // A route for this very method wins over a "*" route for the same path.
    for (const Route_& r : exact_) {
      if (r.path == exchange.path && r.method == exchange.method) handler = r.handler;
    }
    for (const Route_& r : exact_) {
      if (!handler && r.path == exchange.path && r.method == "*") handler = r.handler;
    }
    for (const Route_& r : prefixes_) {
      if (handler) break;
      if (exchange.path.starts_with(r.path) && MethodMatches(r.method, exchange.method)) {
        handler = r.handler;
      }
    }
  }
  if (!handler) return HttpAnswer::Text("not found", "text/plain", 404);
  return handler(exchange);
}

void SimRouter::AddPeer(std::shared_ptr<WsPeer> peer) {
  std::lock_guard lock{mutex_};
  peers_.push_back(std::move(peer));
  changed_.notify_all();
}

std::vector<HttpExchange> SimRouter::Requests() const {
  std::lock_guard lock{mutex_};
  return requests_;
}

size_t SimRouter::CountLocked(std::string_view path) const {
  return static_cast<size_t>(std::count_if(requests_.begin(), requests_.end(),
                                           [&](const HttpExchange& e) { return e.path == path; }));
}

size_t SimRouter::RequestCount(std::string_view path) const {
  std::lock_guard lock{mutex_};
  return CountLocked(path);
}

void SimRouter::ClearRequests() {
  std::lock_guard lock{mutex_};
  requests_.clear();
}

bool SimRouter::WaitForRequests(std::string_view path, size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, std::chrono::milliseconds{timeoutMs},
                           [&] { return CountLocked(path) >= count; });
}

std::vector<std::shared_ptr<WsPeer>> SimRouter::Peers() const {
  std::lock_guard lock{mutex_};
  return peers_;
}

bool SimRouter::WaitForPeers(size_t count, int timeoutMs) const {
  std::unique_lock lock{mutex_};
  return changed_.wait_for(lock, std::chrono::milliseconds{timeoutMs},
                           [&] { return peers_.size() >= count; });
}

}  // namespace vlo::sim
