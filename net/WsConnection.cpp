#include "net/WsConnection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <atomic>
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
#include "net/HttpParts.h"
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
constexpr auto kCloseTimeout = std::chrono::milliseconds{kCloseTimeoutMs};
constexpr auto kWaitStep = std::chrono::milliseconds{100};

// How far a connect has come, for the text of a time-out.
enum Stage : int { kResolving, kConnecting, kSecuring, kUpgrading };

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

// The result of one blocking call, filled on the I/O thread.
struct Outcome {
  bool done{false};
  bool ok{false};
  std::string text;
  int32_t retryAfter{0};  // from a declined upgrade
};

bool IsCut(const beast::error_code& error) {
  return error == asio::error::eof || error == asio::error::connection_reset ||
         error == asio::error::broken_pipe || error == ssl::error::stream_truncated ||
         error == beast::http::error::end_of_stream;
}

// The text of a failed TCP connect.
std::string TcpFailure(const beast::error_code& error) {
  if (error == asio::error::connection_refused)
    return "WebSocket connect failed (connection refused)";
  if (error == asio::error::network_unreachable || error == asio::error::host_unreachable) {
    return "WebSocket connect failed (network unreachable)";
  }
  return "WebSocket connect failed";
}

// The text of a failed TLS handshake: a sentence about the certificate when that was refused.
std::string TlsFailure(const beast::error_code& error, SSL* handle) {
  if (IsCut(error)) return "WebSocket handshake failed (connection closed)";
  if (error.category() == asio::error::get_ssl_category() &&
      ERR_GET_REASON(static_cast<unsigned long>(error.value())) ==
          SSL_R_CERTIFICATE_VERIFY_FAILED) {
    return CertificateProblem(SSL_get_verify_result(handle));
  }
  return kSecureConnectionFailed;
}

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
      changed_.wait_for(lock, kCloseTimeout + std::chrono::milliseconds{100},
                        [this] { return closeDone_; });
    }
    work_.reset();
    ioc_.stop();
    thread_.join();
  }

  bool Connect(const UrlParts& url, const std::string& userAgent, const CallControl& control,
               ConnectFailure& failure) override {
    auto outcome{std::make_shared<Outcome>()};
    Spawn(DoConnect(url, userAgent, outcome));
    const IdleTimer deadline{control.clock, kConnectTimeoutMs};
    std::unique_lock lock{mutex_};
    while (!outcome->done && !closed_) {
      changed_.wait_for(lock, kWaitStep, [&] { return outcome->done || closed_; });
      if (outcome->done || closed_) break;
      lock.unlock();  // the clock and the control take locks of their own
      const bool wanted{control.Wanted()};
      const bool late{deadline.Expired()};
      lock.lock();
      if (outcome->done || closed_ || (wanted && !late)) continue;
      failure.text = !wanted                      ? "WebSocket connect cancelled"
                     : stage_.load() >= kSecuring ? "WebSocket handshake timed out"
                                                  : "WebSocket connect timed out";
      lock.unlock();
      Close();
      return false;
    }
    if (outcome->done && outcome->ok && !closed_) return true;
    failure.text = outcome->done ? outcome->text : "WebSocket connect failed";
    failure.retryAfter = outcome->retryAfter;
    return false;
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

  void Finish(const std::shared_ptr<Outcome>& outcome, bool ok, std::string text = {},
              int32_t retryAfter = 0) {
    {
      std::lock_guard lock{mutex_};
      outcome->done = true;
      outcome->ok = ok;
      outcome->text = std::move(text);
      outcome->retryAfter = retryAfter;
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
  // The caller's Connect bounds the whole attempt with its own deadline and closes the stream when
  // it passes, so no step here carries a timer of its own.
  asio::awaitable<void> DoConnect(UrlParts url, std::string userAgent,
                                  std::shared_ptr<Outcome> outcome) {
    tcp::resolver resolver{ioc_};
    auto [resolveError, endpoints] =
        co_await resolver.async_resolve(url.host, std::to_string(url.port), kTuple);
    if (resolveError || Closed()) {
      co_return Finish(outcome, false,
                       Closed() ? "WebSocket connect failed" : "WebSocket connect failed (DNS)");
    }
    stage_ = kConnecting;
    auto& lowest{beast::get_lowest_layer(ws_)};
    auto [connectError, endpoint] = co_await lowest.async_connect(endpoints, kTuple);
    if (connectError || Closed()) co_return Finish(outcome, false, TcpFailure(connectError));
    lowest.socket().set_option(tcp::no_delay(true));
    stage_ = kSecuring;

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
      if (tlsError) co_return Finish(outcome, false, TlsFailure(tlsError, handle));
    }
    stage_ = kUpgrading;

    ws_.set_option(websocket::stream_base::timeout{websocket::stream_base::none(),
                                                   websocket::stream_base::none(), false});
    ws_.set_option(websocket::stream_base::decorator([userAgent](websocket::request_type& request) {
      request.set(http::field::user_agent, userAgent);
    }));
    ws_.read_message_max(kMaxMessageBytes);
    ws_.auto_fragment(false);
    const bool defaultPort{url.port == (url.secure ? 443 : 80)};
    std::string host{url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host};
    if (!defaultPort) host += ":" + std::to_string(url.port);
    websocket::response_type response;
    auto [upgradeError] = co_await ws_.async_handshake(response, host, url.target, kTuple);
    if (upgradeError == websocket::error::upgrade_declined) {
      const auto retryAfter{response.find(http::field::retry_after)};
      co_return Finish(
          outcome, false,
          "WebSocket upgrade rejected (HTTP " + std::to_string(response.result_int()) + ")",
          retryAfter == response.end() ? 0 : ParseRetryAfter(retryAfter->value()));
    }
    if (upgradeError) {
      co_return Finish(outcome, false,
                       IsCut(upgradeError)
                           ? "WebSocket handshake failed (connection closed)"
                           : "WebSocket handshake failed (" + upgradeError.message() + ")");
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
  bool closed_{false};                  // Close was called
  bool over_{false};                    // an operation failed after the upgrade
  bool connected_{false};               // the upgrade completed
  bool closeDone_{false};               // the closing work on the I/O thread has finished
  std::atomic<int> stage_{kResolving};  // written on the I/O thread, read by Connect

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
