#include "sim/SimListener.h"

#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/ssl.hpp>
#include <cctype>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/Gzip.h"
#include "sim/SimRouter.h"
#include "sim/SimWsSession.h"
#include "sim/TestCertificates.h"

namespace vlo::sim {
namespace {

namespace http = beast::http;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;
using Request = http::request<http::string_body>;

constexpr int kThreads{2};

HttpExchange ToExchange(const Request& request) {
  HttpExchange exchange;
  exchange.method = std::string{request.method_string()};
  exchange.target = std::string{request.target()};
  const size_t question{exchange.target.find('?')};
  exchange.path = exchange.target.substr(0, question);
  if (question != std::string::npos) exchange.query = exchange.target.substr(question + 1);
  for (const auto& field : request) {
    std::string name{field.name_string()};
    exchange.headerLines.emplace_back(name, std::string{field.value()});
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    exchange.headers.emplace(std::move(name), std::string{field.value()});
  }
  exchange.body = request.body();
  return exchange;
}

http::response<http::string_body> ToResponse(const HttpAnswer& answer, const Request& request) {
  http::response<http::string_body> response{static_cast<http::status>(answer.status),
                                             request.version()};
  response.set(http::field::server, "simulator");
  if (!answer.contentType.empty()) response.set(http::field::content_type, answer.contentType);
  for (const auto& [name, value] : answer.headers) response.insert(name, value);
  if (answer.gzip) {
    response.set(http::field::content_encoding, "gzip");
    response.body() = GzipCompress(answer.body);
  } else {
    response.body() = answer.body;
  }
  response.keep_alive(request.keep_alive());
  response.prepare_payload();
  return response;
}

HttpAnswer SafeAnswer(SimRouter& router, const HttpExchange& exchange) {
  try {
    return router.Answer(exchange);
  } catch (const std::exception& e) {
    return HttpAnswer::Text(e.what(), "text/plain", 500);
  }
}

// Serves HTTP requests on one connection until it closes or turns into a WebSocket.
template <class Stream>
asio::awaitable<void> ServeHttp(Stream stream, SimRouter& router,
                                std::shared_ptr<ServerLife> life) {
  beast::flat_buffer buffer;
  for (;;) {
    http::request_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    parser.header_limit(1024 * 1024);
    auto [readError, size] = co_await http::async_read(stream, buffer, parser, kTuple);
    if (readError) break;
    Request request{parser.release()};
    const HttpExchange exchange{ToExchange(request)};
    std::optional<HttpAnswer> answer{router.Record(exchange)};
    if (!answer && websocket::is_upgrade(request)) {
      if (std::optional<WsHandlers> handlers{router.FindWebSocket(exchange.path)}) {
        auto state{std::make_shared<PeerState>()};
        state->life = life;
        state->target = exchange.target;
        state->headers = exchange.headers;
        auto session{
            std::make_shared<WsSession<Stream>>(std::move(stream), state, std::move(*handlers))};
        co_await session->Run(std::move(request), router);
        co_return;
      }
    }
    if (!answer) answer = SafeAnswer(router, exchange);
    if (answer->delayMs > 0 || answer->stall) {
      asio::steady_timer timer{co_await asio::this_coro::executor};
      if (answer->stall) {
        timer.expires_at(asio::steady_timer::time_point::max());
      } else {
        timer.expires_after(std::chrono::milliseconds{answer->delayMs});
      }
      co_await timer.async_wait(kTuple);
      if (answer->stall) co_return;
    }
    if (answer->closeWithoutAnswer) break;
    auto response{ToResponse(*answer, request)};
    auto [writeError, written] = co_await http::async_write(stream, response, kTuple);
    if (writeError || !response.keep_alive()) break;
  }
  beast::error_code ignored;
  beast::get_lowest_layer(stream).socket().shutdown(tcp::socket::shutdown_both, ignored);
  beast::get_lowest_layer(stream).close();
}

asio::awaitable<void> ServeTls(beast::tcp_stream tcpStream, ssl::context& context,
                               SimRouter& router, std::shared_ptr<ServerLife> life) {
  beast::ssl_stream<beast::tcp_stream> stream{std::move(tcpStream), context};
  beast::get_lowest_layer(stream).expires_after(std::chrono::seconds{10});
  auto [error] = co_await stream.async_handshake(ssl::stream_base::server, kTuple);
  if (error) co_return;
  beast::get_lowest_layer(stream).expires_never();
  co_await ServeHttp(std::move(stream), router, std::move(life));
}

}  // namespace

struct SimListener::Impl {
  Impl(SimRouter& r, bool tls) : router{r}, acceptor{ioc} {
    if (tls) {
      const TestCertificates& certs{GetTestCertificates()};
      context.emplace(ssl::context::tls_server);
      context->use_certificate_chain(asio::buffer(certs.serverCertPem));
      context->use_private_key(asio::buffer(certs.serverKeyPem), ssl::context::pem);
    }
    const tcp::endpoint endpoint{asio::ip::make_address("127.0.0.1"), 0};
    acceptor.open(endpoint.protocol());
    acceptor.set_option(tcp::acceptor::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen();
    port = acceptor.local_endpoint().port();
    asio::co_spawn(ioc, AcceptLoop(), [](std::exception_ptr) {});
    for (int i{0}; i < kThreads; ++i) threads.emplace_back([this] { ioc.run(); });
  }

  ~Impl() { Stop(); }

  void Stop() {
    std::lock_guard stopping{stopMutex};
    {
      std::lock_guard lock{life->mutex};
      life->alive = false;
    }
    ioc.stop();
    for (std::thread& thread : threads) thread.join();
    threads.clear();
  }

  asio::awaitable<void> AcceptLoop() {
    for (;;) {
      tcp::socket socket{asio::make_strand(ioc)};
      auto [error] = co_await acceptor.async_accept(socket, kTuple);
      if (error == asio::error::operation_aborted) co_return;
      if (error) continue;
      socket.set_option(tcp::no_delay(true));
      auto executor{socket.get_executor()};
      beast::tcp_stream stream{std::move(socket)};
      if (context) {
        asio::co_spawn(executor, ServeTls(std::move(stream), *context, router, life),
                       [](std::exception_ptr) {});
      } else {
        asio::co_spawn(executor, ServeHttp(std::move(stream), router, life),
                       [](std::exception_ptr) {});
      }
    }
  }

  SimRouter& router;
  std::shared_ptr<ServerLife> life{std::make_shared<ServerLife>()};
  asio::io_context ioc{kThreads};
  std::optional<ssl::context> context;
  tcp::acceptor acceptor;
  uint16_t port{0};
  std::vector<std::thread> threads;
  std::mutex stopMutex;  // one Stop at a time joins the threads
};

SimListener::SimListener(SimRouter& router, bool tls)
    : impl_{std::make_unique<Impl>(router, tls)} {}

SimListener::~SimListener() = default;

void SimListener::Stop() { impl_->Stop(); }

uint16_t SimListener::Port() const { return impl_->port; }

}  // namespace vlo::sim
