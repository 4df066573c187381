#include "net/WsConnection.h"

#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "net/Http.h"
#include "net/TlsTrust.h"

namespace plx::detail {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = asio::ssl;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr auto kTuple = asio::as_tuple(asio::use_awaitable);
constexpr auto kConnectTimeout = std::chrono::seconds{10};
constexpr auto kCloseTimeout = std::chrono::milliseconds{1000};

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

// The result of one blocking call, filled on the I/O thread.
struct Outcome {
  bool done{false};
  bool ok{false};
  std::string text;
};

bool IsIpLiteral(const std::string& host) {
  beast::error_code error;
  asio::ip::make_address(host, error);
  return !error;
}

template <class Stream>
class Connection final : public WsConnection {
 public:
  Connection(std::optional<ssl::context> context, int32_t receiveTimeoutMs)
      : context_{std::move(context)},
        ws_{MakeStream()},
        timer_{ioc_},
        receiveTimeoutMs_{receiveTimeoutMs},
        work_{asio::make_work_guard(ioc_)},
        thread_{[this] { ioc_.run(); }} {}

  // Gives the closing handshake its short time to finish, then stops the I/O thread whatever
  // is still pending (Beast's own timers may otherwise keep it alive for seconds).
  ~Connection() override {
    Close();
    {
      std::unique_lock lock{mutex_};
      changed_.wait_for(lock, kCloseTimeout + std::chrono::milliseconds{200},
                        [this] { return closeDone_; });
    }
    work_.reset();
    ioc_.stop();
    thread_.join();
  }

  bool Connect(const UrlParts& url, const std::string& userAgent, std::string& error) override {
    auto outcome{std::make_shared<Outcome>()};
    Spawn(DoConnect(url, userAgent, outcome));
    if (!Wait(*outcome)) {
      std::lock_guard lock{mutex_};  // the attempt may still be finishing after a Close
      error = outcome->done ? outcome->text : "WebSocket connect failed";
      return false;
    }
    return true;
  }

  bool Send(std::string_view text) override {
    {
      std::lock_guard lock{mutex_};
      if (closed_) return false;
    }
    auto outcome{std::make_shared<Outcome>()};
    Spawn(DoSend(std::string{text}, outcome));
    return Wait(*outcome);
  }

  bool Receive(std::string& out) override {
    {
      std::lock_guard lock{mutex_};
      if (closed_ || over_) return false;
    }
    auto outcome{std::make_shared<Outcome>()};
    Spawn(DoReceive(outcome));
    if (!Wait(*outcome)) return false;
    out = std::move(outcome->text);
    return true;
  }

  void Close() override {
    {
      std::lock_guard lock{mutex_};
      if (closed_) return;
      closed_ = true;
    }
    changed_.notify_all();
    Spawn(DoClose());
  }

  bool Closed() const override {
    std::lock_guard lock{mutex_};
    return closed_;
  }

 private:
  websocket::stream<Stream> MakeStream() {
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      return websocket::stream<Stream>{ioc_, *context_};
    } else {
      return websocket::stream<Stream>{ioc_};
    }
  }

  template <class Awaitable>
  void Spawn(Awaitable&& task) {
    asio::co_spawn(ioc_, std::forward<Awaitable>(task), [](std::exception_ptr) {});
  }

  // Waits for the outcome, or less when Close is called; true when it completed well.
  bool Wait(const Outcome& outcome) {
    std::unique_lock lock{mutex_};
    changed_.wait(lock, [&] { return outcome.done || closed_; });
    return outcome.done && outcome.ok && !closed_;
  }

  void Finish(const std::shared_ptr<Outcome>& outcome, bool ok, std::string text = {}) {
    {
      std::lock_guard lock{mutex_};
      outcome->done = true;
      outcome->ok = ok;
      outcome->text = std::move(text);
      if (!ok) over_ = over_ || connected_;
    }
    changed_.notify_all();
  }

  void ShutSocket() {
    auto& lowest{beast::get_lowest_layer(ws_)};
    beast::error_code ignored;
    lowest.socket().shutdown(tcp::socket::shutdown_both, ignored);
    lowest.close();
  }

  // I/O thread only from here on.
  asio::awaitable<void> DoConnect(UrlParts url, std::string userAgent,
                                  std::shared_ptr<Outcome> outcome) {
    tcp::resolver resolver{ioc_};
    auto [resolveError, endpoints] =
        co_await resolver.async_resolve(url.host, std::to_string(url.port), kTuple);
    if (resolveError || Closed()) co_return Finish(outcome, false, "WebSocket connect failed");
    auto& lowest{beast::get_lowest_layer(ws_)};
    lowest.expires_after(kConnectTimeout);
    auto [connectError, endpoint] = co_await lowest.async_connect(endpoints, kTuple);
    if (connectError || Closed()) co_return Finish(outcome, false, "WebSocket connect failed");
    lowest.socket().set_option(tcp::no_delay(true));

    if constexpr (std::is_same_v<Stream, TlsStream>) {
      SSL* handle{ws_.next_layer().native_handle()};
      X509_VERIFY_PARAM* param{SSL_get0_param(handle)};
      if (IsIpLiteral(url.host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, url.host.c_str());
      } else {
        SSL_set_tlsext_host_name(handle, url.host.c_str());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, url.host.c_str(), 0);
      }
      auto [tlsError] = co_await ws_.next_layer().async_handshake(ssl::stream_base::client, kTuple);
      if (tlsError) {
        co_return Finish(outcome, false,
                         "WebSocket handshake failed (" + std::to_string(tlsError.value()) + ")");
      }
    }
    lowest.expires_never();

    ws_.set_option(
        websocket::stream_base::timeout{kConnectTimeout, websocket::stream_base::none(), false});
    ws_.set_option(websocket::stream_base::decorator([userAgent](websocket::request_type& request) {
      request.set(http::field::user_agent, userAgent);
    }));
    ws_.read_message_max(0);  // no limit: a message may be any size
    ws_.auto_fragment(false);
    const bool defaultPort{url.port == (url.secure ? 443 : 80)};
    std::string host{url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host};
    if (!defaultPort) host += ":" + std::to_string(url.port);
    websocket::response_type response;
    auto [upgradeError] = co_await ws_.async_handshake(response, host, url.target, kTuple);
    if (upgradeError) {
      if (response.result_int() != 0) {
        co_return Finish(
            outcome, false,
            "WebSocket upgrade rejected (HTTP " + std::to_string(response.result_int()) + ")");
      }
      co_return Finish(outcome, false,
                       "WebSocket handshake failed (" + std::to_string(upgradeError.value()) + ")");
    }
    {
      std::lock_guard lock{mutex_};
      connected_ = true;
    }
    Finish(outcome, true);
  }

  asio::awaitable<void> DoSend(std::string text, std::shared_ptr<Outcome> outcome) {
    ws_.text(true);
    auto [error, size] = co_await ws_.async_write(asio::buffer(text), kTuple);
    Finish(outcome, !error);
  }

  asio::awaitable<void> DoReceive(std::shared_ptr<Outcome> outcome) {
    if (receiveTimeoutMs_ > 0) {
      timer_.expires_after(std::chrono::milliseconds{receiveTimeoutMs_});
      timer_.async_wait([this](beast::error_code error) {
        if (!error) ShutSocket();
      });
    }
    beast::flat_buffer buffer;
    auto [error, size] = co_await ws_.async_read(buffer, kTuple);
    if (receiveTimeoutMs_ > 0) timer_.cancel();
    Finish(outcome, !error, error ? std::string{} : beast::buffers_to_string(buffer.data()));
  }

  asio::awaitable<void> DoClose() {
    bool handshake{false};
    {
      std::lock_guard lock{mutex_};
      handshake = connected_ && !over_;
    }
    if (handshake && ws_.is_open()) {
      asio::steady_timer limit{ioc_};
      limit.expires_after(kCloseTimeout);
      limit.async_wait([this](beast::error_code error) {
        if (!error) ShutSocket();
      });
      co_await ws_.async_close(websocket::close_code::normal, kTuple);
      limit.cancel();
    }
    timer_.cancel();
    ShutSocket();
    {
      std::lock_guard lock{mutex_};
      closeDone_ = true;
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;  // guards closed_, over_, connected_ and every Outcome
  std::condition_variable changed_;
  bool closed_{false};     // Close was called
  bool over_{false};       // an operation failed after the upgrade
  bool connected_{false};  // the upgrade completed
  bool closeDone_{false};  // the closing work on the I/O thread has finished

  asio::io_context ioc_{1};
  std::optional<ssl::context> context_;
  websocket::stream<Stream> ws_;  // I/O thread only
  asio::steady_timer timer_;      // I/O thread only: the receive time-out
  const int32_t receiveTimeoutMs_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  std::thread thread_;  // declared last: starts once everything above exists
};

ssl::context MakeClientContext() {
  ssl::context context{ssl::context::tls_client};
  context.set_default_verify_paths();
  context.set_verify_mode(ssl::verify_peer);
  AddExtraTrust(context.native_handle());
  return context;
}

}  // namespace

std::unique_ptr<WsConnection> MakeWsConnection(bool secure, int32_t receiveTimeoutMs) {
  if (secure) {
    return std::make_unique<Connection<TlsStream>>(MakeClientContext(), receiveTimeoutMs);
  }
  return std::make_unique<Connection<PlainStream>>(std::nullopt, receiveTimeoutMs);
}

}  // namespace plx::detail
