#include "overlay/OverlayServer.h"

#include <algorithm>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/ChatHub.h"
#include "core/RowTracker.h"
#include "core/TextRules.h"
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "emotes/SplitMessage.h"

namespace vlo {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

extern const std::string_view kOverlayPage;

namespace {

constexpr auto kHeadTimeout = std::chrono::seconds(10);  // a request head must arrive by then
constexpr auto kIdleTimeout = std::chrono::seconds(30);  // between requests on a kept connection
constexpr auto kPingPeriod = std::chrono::seconds(15);   // keeps idle event streams alive
constexpr auto kMinRefreshGap = std::chrono::milliseconds(50);
constexpr size_t kMaxHeadBytes = 8 * 1024;
constexpr size_t kMaxImageBytes = 8u << 20;
constexpr int kImageCheckGapMs = 100;

std::string_view ImageType(std::string_view bytes) {
  if (bytes.starts_with("\x89PNG\r\n\x1a\n")) return "image/png";
  if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return "image/gif";
  if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") {
    return "image/webp";
  }
  if (bytes.starts_with("\xff\xd8\xff")) return "image/jpeg";
  return {};
}

std::optional<std::string> ReadImage(const std::filesystem::path& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxImageBytes) return std::nullopt;
  std::ifstream in{path, std::ios::binary};
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

}  // namespace

class OverlayServer::Core : public std::enable_shared_from_this<OverlayServer::Core> {
 public:
  Core(ChatHub& hub, OverlayConfig config) : hub_{hub}, config_{std::move(config)} {}

  bool Start(std::string* error);
  void Stop();
  int Port() const { return port_.load(); }
  bool Running() const { return running_.load(); }
  Counts GetCounts() const {
    std::lock_guard lock{countsLock_};
    return counts_;
  }

  class Session;

 private:
  friend class Session;
  using Stream = std::shared_ptr<Session>;

  void Accept();
  void RefuseBusy(tcp::socket socket);
  void HubChanged();
  void Refresh();
  void Ping();
  // New rows and removals since the last look, sent to every stream; returns the snapshot.
  std::vector<plx::ChatRow> CatchUp();
  void OpenStream(const Stream& stream, const FeedStyle& style);
  void CloseStream(Session* stream);
  std::string ResetEvent(const std::vector<plx::ChatRow>& snapshot, const FeedStyle& style);
  void CountRefused() {
    std::lock_guard lock{countsLock_};
    ++counts_.refused;
  }

  ChatHub& hub_;
  const OverlayConfig config_;
  asio::io_context io_;
  std::optional<tcp::acceptor> acceptor_;
  std::optional<asio::steady_timer> refreshTimer_;
  std::optional<asio::steady_timer> pingTimer_;
  std::thread thread_;
  std::atomic<int> port_{0};
  std::atomic<bool> running_{false};
  uint64_t listener_{0};
  std::atomic<bool> refreshQueued_{false};

  // The server thread's own state.
  RowTracker tracker_{[](const plx::ChatRow& row) { return !plx::HasTag(row, "system"); }};
  EmoteKeyBook emotes_;
  std::map<Session*, std::pair<std::weak_ptr<Session>, FeedStyle>> streams_;
  std::unordered_set<Session*> sessions_;
  bool refreshArmed_{false};
  std::chrono::steady_clock::time_point lastRefresh_{};

  mutable std::mutex countsLock_;
  Counts counts_;
};

// One connection: requests and answers, and, once it asked for "/events", the stream.
class OverlayServer::Core::Session : public std::enable_shared_from_this<Session> {
 public:
  Session(Core& core, tcp::socket socket)
      : core_{core}, stream_{std::move(socket)}, imageWait_{stream_.get_executor()} {
    core_.sessions_.insert(this);
    std::lock_guard lock{core_.countsLock_};
    ++core_.counts_.connections;
  }
  ~Session() {
    core_.sessions_.erase(this);
    std::lock_guard lock{core_.countsLock_};
    --core_.counts_.connections;
  }

  void ReadRequest(std::chrono::seconds timeout) {
    parser_.emplace();
    parser_->header_limit(kMaxHeadBytes);
    parser_->body_limit(0);
    stream_.expires_after(timeout);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, size_t) { self->OnRequest(ec); });
  }

  // Queues one event for a stream; drops the client when it is too far behind.
  void Send(std::shared_ptr<const std::string> event) {
    if (closed_) return;
    queuedBytes_ += event->size();
    if (queuedBytes_ > core_.config_.maxQueuedBytes) {
      {
        std::lock_guard lock{core_.countsLock_};
        ++core_.counts_.dropped;
      }
      Close();
      return;
    }
    queue_.push_back(std::move(event));
    if (queue_.size() == 1) WriteNext();
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    core_.CloseStream(this);
    beast::error_code ignored;
    imageWait_.cancel();
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

 private:
  void OnRequest(beast::error_code ec) {
    if (ec == http::error::header_limit)
      return Refuse(http::status::request_header_fields_too_large, "Request header too large.");
    if (ec == http::error::body_limit || ec == http::error::unexpected_body)
      return Refuse(http::status::payload_too_large, "Requests carry no body here.");
    if (ec) return Close();  // closed, timed out or not HTTP: nothing to answer
    const auto& request = parser_->get();
    keepAlive_ = request.keep_alive();
    const std::string expectedHost = "127.0.0.1:" + std::to_string(core_.Port());
    const std::string localHost = "localhost:" + std::to_string(core_.Port());
    const std::string_view host = request[http::field::host];
    if (!EqualsNoCase(host, expectedHost) && !EqualsNoCase(host, localHost)) {
      return Refuse(http::status::forbidden, "This overlay only answers pages on this computer.");
    }
    if (const auto origin = request.find(http::field::origin); origin != request.end()) {
      const std::string_view value = origin->value();
      if (!EqualsNoCase(value, "http://" + expectedHost) &&
          !EqualsNoCase(value, "http://" + localHost)) {
        return Refuse(http::status::forbidden, "This overlay only answers pages on this computer.");
      }
    }
    if (request.method() != http::verb::get) {
      return Refuse(http::status::method_not_allowed, "Only GET requests are answered.");
    }
    const std::string_view target = request.target();
    const size_t mark = target.find('?');
    const std::string_view path = target.substr(0, mark);
    const std::string_view query =
        mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
    if (path == "/" || path == "/overlay") {
      return Answer(http::status::ok, "text/html; charset=utf-8", std::string{kOverlayPage},
                    "no-store");
    }
    if (path == "/events") return StartStream(FeedStyle::FromQuery(query));
    if (path.starts_with("/emote/")) return AnswerEmote(std::string{path.substr(7)});
    Answer(http::status::not_found, "text/plain; charset=utf-8", "Not found.", "no-store");
  }

  // An emote not on disk yet is asked for, and the answer waits a few seconds for it, so that a
  // page shows it as soon as it is downloaded.
  void AnswerEmote(std::string name, int checksLeft = -1) {
    const std::string* key = core_.emotes_.Find(name);
    if (key == nullptr) {
      return Answer(http::status::not_found, "text/plain; charset=utf-8", "No such emote.",
                    "no-store");
    }
    std::optional<std::string> bytes = ReadImage(core_.config_.imageFolder / (name + ".img"));
    const std::string_view type = bytes ? ImageType(*bytes) : std::string_view{};
    if (!type.empty()) {
      return Answer(http::status::ok, type, std::move(*bytes), "max-age=86400, immutable");
    }
    if (checksLeft < 0) {
      if (core_.config_.wantImage) core_.config_.wantImage(*key);
      checksLeft = core_.config_.imageWaitMs / kImageCheckGapMs;
    }
    if (checksLeft == 0 || !core_.Running()) {
      return Answer(http::status::service_unavailable, "text/plain; charset=utf-8",
                    "The image is not loaded yet.", "no-store", "2");
    }
    imageWait_.expires_after(std::chrono::milliseconds(kImageCheckGapMs));
    imageWait_.async_wait([self = shared_from_this(), name = std::move(name),
                           checksLeft](beast::error_code ec) mutable {
      if (ec) return self->Close();
      self->AnswerEmote(std::move(name), checksLeft - 1);
    });
  }

  void Refuse(http::status status, std::string_view text) {
    core_.CountRefused();
    keepAlive_ = false;
    Answer(status, "text/plain; charset=utf-8", std::string{text}, "no-store");
  }

  void Answer(http::status status, std::string_view type, std::string body, std::string_view cache,
              std::string_view retryAfter = {}) {
    auto response = std::make_shared<http::response<http::string_body>>(status, 11);
    response->set(http::field::server, "VelaroChat-Overlay");
    response->set(http::field::content_type, type);
    response->set(http::field::cache_control, cache);
    response->set("X-Content-Type-Options", "nosniff");
    response->set("Referrer-Policy", "no-referrer");
    response->set("Content-Security-Policy",
                  "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'; "
                  "script-src 'unsafe-inline'; connect-src 'self'; base-uri 'none'; "
                  "form-action 'none'; frame-ancestors 'none'");
    if (!retryAfter.empty()) response->set(http::field::retry_after, retryAfter);
    response->keep_alive(keepAlive_);
    response->body() = std::move(body);
    response->prepare_payload();
    stream_.expires_after(kHeadTimeout);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code ec, size_t) {
                        if (ec || !self->keepAlive_) return self->Close();
                        self->ReadRequest(kIdleTimeout);
                      });
  }

  void StartStream(const FeedStyle& style) {
    stream_.expires_never();
    std::string head =
        "HTTP/1.1 200 OK\r\nServer: VelaroChat-Overlay\r\nContent-Type: text/event-stream; "
        "charset=utf-8\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
        "Connection: close\r\n\r\nretry: 2000\n\n";
    Send(std::make_shared<const std::string>(std::move(head)));
    core_.OpenStream(shared_from_this(), style);
    WatchForClose();
  }

  // The page sends nothing on a stream; a read that ends means it went away.
  void WatchForClose() {
    stream_.socket().async_read_some(asio::buffer(sink_),
                                     [self = shared_from_this()](beast::error_code ec, size_t) {
                                       if (ec) return self->Close();
                                       self->WatchForClose();
                                     });
  }

  void WriteNext() {
    asio::async_write(stream_.socket(), asio::buffer(*queue_.front()),
                      [self = shared_from_this()](beast::error_code ec, size_t) {
                        if (ec) return self->Close();
                        self->queuedBytes_ -= self->queue_.front()->size();
                        self->queue_.pop_front();
                        if (!self->queue_.empty()) self->WriteNext();
                      });
  }

  Core& core_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  bool keepAlive_{true};
  bool closed_{false};
  std::deque<std::shared_ptr<const std::string>> queue_;
  size_t queuedBytes_{0};
  std::array<char, 256> sink_{};
  asio::steady_timer imageWait_;
};

bool OverlayServer::Core::Start(std::string* error) {
  const int port = config_.port;
  beast::error_code ec;
  acceptor_.emplace(io_);
  const tcp::endpoint endpoint{asio::ip::make_address_v4("127.0.0.1"),
                               static_cast<unsigned short>(port)};
  acceptor_->open(endpoint.protocol(), ec);
  if (!ec) acceptor_->set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor_->bind(endpoint, ec);
  if (!ec) acceptor_->listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    if (error) {
      *error = ec == asio::error::address_in_use
                   ? "The overlay could not start: port " + std::to_string(port) +
                         " on 127.0.0.1 is taken by another program."
                   : "The overlay could not start on port " + std::to_string(port) + " (" +
                         ec.message() + ").";
    }
    acceptor_.reset();
    return false;
  }
  port_.store(acceptor_->local_endpoint().port());
  refreshTimer_.emplace(io_);
  pingTimer_.emplace(io_);
  std::weak_ptr<Core> weak = weak_from_this();
  listener_ = hub_.AddChangeListener([weak] {
    if (auto core = weak.lock()) core->HubChanged();
  });
  Accept();
  Ping();
  running_.store(true);
  thread_ = std::thread{[this] { io_.run(); }};
  return true;
}

void OverlayServer::Core::Stop() {
  if (!running_.exchange(false)) return;
  hub_.RemoveChangeListener(listener_);
  asio::post(io_, [this] {
    beast::error_code ignored;
    if (acceptor_) acceptor_->close(ignored);
    refreshTimer_->cancel();
    pingTimer_->cancel();
    // Every pending operation now ends with an error, so the loop runs out of work and returns.
    for (Session* session : std::vector<Session*>{sessions_.begin(), sessions_.end()}) {
      session->Close();
    }
  });
  thread_.join();
  // A change posted while stopping holds no reference to the core; run it out here.
  io_.restart();
  io_.poll();
}

void OverlayServer::Core::Accept() {
  acceptor_->async_accept([self = shared_from_this()](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !self->acceptor_->is_open()) return;
    if (!ec) {
      if (self->sessions_.size() >= self->config_.maxConnections) {
        self->RefuseBusy(std::move(socket));
      } else {
        std::make_shared<Session>(*self, std::move(socket))->ReadRequest(kHeadTimeout);
      }
    }
    self->Accept();
  });
}

void OverlayServer::Core::RefuseBusy(tcp::socket socket) {
  CountRefused();
  static const std::string kBusy =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
      "Retry-After: 5\r\nConnection: close\r\nContent-Length: 36\r\n\r\n"
      "Too many connections to the overlay.";
  auto held = std::make_shared<tcp::socket>(std::move(socket));
  asio::async_write(*held, asio::buffer(kBusy), [held](beast::error_code, size_t) {
    beast::error_code ignored;
    held->shutdown(tcp::socket::shutdown_both, ignored);
    held->close(ignored);
  });
}

// Any thread, after every change of the hub. Between a change and the look at the hub it causes,
// further changes cost one atomic exchange: no post, no wake-up of the server's thread.
void OverlayServer::Core::HubChanged() {
  if (!running_.load() || refreshQueued_.exchange(true)) return;
  asio::post(io_, [weak = weak_from_this()] {
    const auto self = weak.lock();
    if (!self || self->refreshArmed_ || !self->running_.load()) return;
    self->refreshArmed_ = true;
    // At most one look at the hub every 50 ms: a raid's rows go out in small batches.
    const auto due = self->lastRefresh_ + kMinRefreshGap;
    self->refreshTimer_->expires_at(std::max(due, std::chrono::steady_clock::now()));
    self->refreshTimer_->async_wait([self](beast::error_code ec) {
      self->refreshArmed_ = false;
      // Cleared before the snapshot: a change after it queues the next look.
      self->refreshQueued_.store(false);
      if (!ec) self->Refresh();
    });
  });
}

void OverlayServer::Core::Refresh() {
  lastRefresh_ = std::chrono::steady_clock::now();
  if (streams_.empty()) {
    tracker_.Reset();  // a new stream starts from its own snapshot
    return;
  }
  CatchUp();
}

std::vector<plx::ChatRow> OverlayServer::Core::CatchUp() {
  std::vector<plx::ChatRow> snapshot = hub_.Snapshot();
  const RowTracker::Changes changes = tracker_.Update(snapshot);
  if (changes.Empty()) return snapshot;
  std::shared_ptr<const std::string> removed;
  if (!changes.removed.empty()) {
    std::vector<std::string> ids;
    ids.reserve(changes.removed.size());
    for (const plx::ChatRow* row : changes.removed) ids.push_back(row->id);
    removed = std::make_shared<const std::string>(
        SseEvent("remove", nlohmann::json{{"ids", ids}}.dump()));
  }
  std::map<std::string, std::shared_ptr<const std::string>> addedByStyle;
  for (auto& [raw, entry] : std::map{streams_}) {
    const auto stream = entry.first.lock();
    if (!stream) continue;
    if (!changes.added.empty()) {
      auto& event = addedByStyle[entry.second.Key()];
      if (!event) {
        event = std::make_shared<const std::string>(
            SseEvent("rows", RowsJson(changes.added, entry.second, config_.split, emotes_, false)));
      }
      stream->Send(event);
    }
    if (removed) stream->Send(removed);
  }
  return snapshot;
}

std::string OverlayServer::Core::ResetEvent(const std::vector<plx::ChatRow>& snapshot,
                                            const FeedStyle& style) {
  std::vector<const plx::ChatRow*> rows;
  for (auto it = snapshot.rbegin(); it != snapshot.rend() && rows.size() < kResetRows; ++it) {
    if (IsOverlayRow(*it)) rows.push_back(&*it);
  }
  std::reverse(rows.begin(), rows.end());  // oldest first
  const std::string json = RowsJson(rows, style, config_.split, emotes_, true);
  return SseEvent("reset", json);
}

void OverlayServer::Core::OpenStream(const Stream& stream, const FeedStyle& style) {
  // Bring the other streams up to date first, so that the new one's starting rows and the
  // changes after them meet without a gap or a repeat.
  if (streams_.empty()) tracker_.Reset();
  std::vector<plx::ChatRow> snapshot = CatchUp();
  streams_[stream.get()] = {stream, style};
  {
    std::lock_guard lock{countsLock_};
    counts_.streams = streams_.size();
  }
  stream->Send(std::make_shared<const std::string>(ResetEvent(snapshot, style)));
}

void OverlayServer::Core::CloseStream(Session* stream) {
  if (streams_.erase(stream) == 0) return;
  std::lock_guard lock{countsLock_};
  counts_.streams = streams_.size();
}

void OverlayServer::Core::Ping() {
  pingTimer_->expires_after(kPingPeriod);
  pingTimer_->async_wait([self = shared_from_this()](beast::error_code ec) {
    if (ec) return;
    const auto ping = std::make_shared<const std::string>(": ping\n\n");
    for (auto& [raw, entry] : std::map{self->streams_}) {
      if (auto stream = entry.first.lock()) stream->Send(ping);
    }
    self->Ping();
  });
}

// --- OverlayServer ---

OverlayConfig OverlayConfigFor(int port, ImageCache& images, const EmoteRegistry& registry,
                               bool catalogues) {
  OverlayConfig config;
  config.port = port;
  config.imageFolder = images.Folder();
  config.wantImage = [&images](const std::string& key) { images.GetImage(key); };
  config.split = [&registry, catalogues](const plx::ChatMessage& message) {
    EmoteLookup lookup;
    if (catalogues) {
      lookup = [&registry, platform = message.platform](std::string_view word) {
        return registry.Find(platform, word);
      };
    }
    return SplitMessage(message, lookup, registry.ImageHosts());
  };
  return config;
}

OverlayServer::OverlayServer(ChatHub& hub, OverlayConfig config)
    : core_{std::make_shared<Core>(hub, std::move(config))} {}

OverlayServer::~OverlayServer() { Stop(); }

bool OverlayServer::Start(std::string* error) { return core_->Start(error); }
void OverlayServer::Stop() { core_->Stop(); }
bool OverlayServer::Running() const { return core_->Running(); }
int OverlayServer::Port() const { return core_->Port(); }
OverlayServer::Counts OverlayServer::GetCounts() const { return core_->GetCounts(); }

std::string OverlayServer::PageAddress(int port) {
  return "http://127.0.0.1:" + std::to_string(port) + "/overlay";
}

}  // namespace vlo
