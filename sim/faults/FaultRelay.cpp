#include "sim/faults/FaultRelay.h"

#include <array>
#include <atomic>
#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/TestCertificates.h"

namespace vlo::sim {

namespace {

namespace asio = boost::asio;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;
constexpr auto kTuple = asio::as_tuple(asio::use_awaitable);
constexpr auto kStallStep = std::chrono::milliseconds{10};
constexpr size_t kChunk = 16384;
constexpr size_t kNoCut = static_cast<size_t>(-1);

struct Modes {
  bool stall{false};
  bool halfClose{false};
  std::optional<size_t> cutAfter;
  bool refuse{false};
  int delayMs{0};
  bool corrupt{false};
  std::optional<RelayCertificate> certificate;
  std::optional<int> answer;
  int retryAfter{0};
};

ssl::context ServerContext(const std::string& certPem, const std::string& keyPem) {
  ssl::context context{ssl::context::tls_server};
  context.use_certificate_chain(asio::buffer(certPem));
  context.use_private_key(asio::buffer(keyPem), ssl::context::pem);
  return context;
}

std::string StatusAnswer(int status, int retryAfter) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " Fault\r\n";
  if (retryAfter > 0) head += "Retry-After: " + std::to_string(retryAfter) + "\r\n";
  const std::string body = "{\"error\":\"simulated fault\"}";
  return head + "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// One relayed connection. I/O thread only.
struct Link {
  Link(tcp::socket c, asio::io_context& ioc) : client{std::move(c)}, server{ioc} {}

  // Abortive close of both sides (RST), which also ends both pumps.
  void Reset() {
    if (closed) return;
    closed = true;
    error_code ignored;
    for (tcp::socket* socket : {&client, &server}) {
      if (!socket->is_open()) continue;
      socket->set_option(tcp::socket::linger{true, 0}, ignored);
      socket->close(ignored);
    }
  }
  void HalfClose() {
    if (halfClosed || closed) return;
    halfClosed = true;
    error_code ignored;
    client.shutdown(tcp::socket::shutdown_send, ignored);
  }

  tcp::socket client;
  tcp::socket server;
  bool closed{false};
  bool halfClosed{false};
  size_t cutLeft{kNoCut};  // bytes from the service still to pass before a reset
};

}  // namespace

struct FaultRelay::Impl {
  explicit Impl(uint16_t target) : targetPort{target} {
    const TestCertificates& certs = GetTestCertificates();
    untrusted.emplace(ServerContext(certs.untrustedCertPem, certs.untrustedKeyPem));
    otherHost.emplace(ServerContext(certs.otherHostCertPem, certs.otherHostKeyPem));
    Listen(0);
  }

  // I/O thread, or before the thread starts.
  bool Listen(uint16_t wanted) {
    error_code error;
    acceptor.open(tcp::v4(), error);
    acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    acceptor.bind({asio::ip::make_address("127.0.0.1"), wanted}, error);
    if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
      acceptor.close(error);
      return false;
    }
    port = acceptor.local_endpoint().port();
    asio::co_spawn(ioc, AcceptLoop(), asio::detached);
    return true;
  }

  Modes Current() const {
    std::lock_guard lock{mutex};
    return modes;
  }

  template <typename Change>
  void Set(Change change) {
    std::lock_guard lock{mutex};
    change(modes);
  }

  // Runs `work` on the I/O thread. The relay joins that thread before this object goes, and work
  // that never ran is simply dropped with the io_context.
  template <typename Work>
  void OnIo(Work work) {
    asio::post(ioc, [this, work = std::move(work)]() mutable { work(*this); });
  }

  void ForEachLink(const std::function<void(Link&)>& act) {
    std::erase_if(links, [](const std::weak_ptr<Link>& weak) { return weak.expired(); });
    for (const std::weak_ptr<Link>& weak : links) {
      if (auto link = weak.lock()) act(*link);
    }
  }

  asio::awaitable<void> AcceptLoop() {
    for (;;) {
      auto [error, socket] = co_await acceptor.async_accept(kTuple);
      if (error == asio::error::operation_aborted || !acceptor.is_open()) co_return;
      if (error) continue;
      ++accepted;
      const Modes now = Current();
      if (now.certificate) {
        asio::co_spawn(ioc, PresentCertificate(std::move(socket), *now.certificate),
                       asio::detached);
      } else if (now.answer) {
        asio::co_spawn(ioc, AnswerStatus(std::move(socket), *now.answer, now.retryAfter),
                       asio::detached);
      } else {
        asio::co_spawn(ioc, Relay(std::make_shared<Link>(std::move(socket), ioc)), asio::detached);
      }
    }
  }

  asio::awaitable<void> Relay(std::shared_ptr<Link> link) {
    links.push_back(link);
    auto [error] = co_await link->server.async_connect(
        {asio::ip::make_address("127.0.0.1"), targetPort}, kTuple);
    if (error || link->closed) {
      link->Reset();
      co_return;
    }
    error_code ignored;
    link->client.set_option(tcp::no_delay{true}, ignored);
    link->server.set_option(tcp::no_delay{true}, ignored);
    const Modes now = Current();
    if (now.cutAfter) link->cutLeft = *now.cutAfter;
    if (now.halfClose) link->HalfClose();
    ++open;
    asio::co_spawn(ioc, Pump(link, false), asio::detached);
    co_await Pump(link, true);
  }

  // Waits while the relay stalls; false when the link closed meanwhile.
  asio::awaitable<bool> WhileStalled(Link& link) {
    asio::steady_timer timer{ioc};
    while (!link.closed && Current().stall) {
      timer.expires_after(kStallStep);
      co_await timer.async_wait(kTuple);
    }
    co_return !link.closed;
  }

  // One direction; `down` is from the service to the client.
  asio::awaitable<void> Pump(std::shared_ptr<Link> link, bool down) {
    tcp::socket& from = down ? link->server : link->client;
    tcp::socket& to = down ? link->client : link->server;
    std::array<char, kChunk> buffer;
    asio::steady_timer timer{ioc};
    while (co_await WhileStalled(*link)) {
      auto [readError, n] = co_await from.async_read_some(asio::buffer(buffer), kTuple);
      if (link->closed) break;
      if (readError) {
        // An orderly end is passed on as one; anything else resets the other side too.
        error_code ignored;
        if (readError == asio::error::eof) {
          if (!(down && link->halfClosed)) to.shutdown(tcp::socket::shutdown_send, ignored);
        } else {
          link->Reset();
        }
        break;
      }
      const Modes now = Current();
      if (now.delayMs > 0) {
        timer.expires_after(std::chrono::milliseconds{now.delayMs});
        co_await timer.async_wait(kTuple);
      }
      if (!co_await WhileStalled(*link)) break;
      size_t pass = n;
      bool cut = false;
      if (down) {
        if (link->halfClosed) continue;  // the client was told the service is done
        if (Current().corrupt) buffer[n / 2] = static_cast<char>(0xFF);
        if (link->cutLeft != kNoCut) {
          cut = link->cutLeft <= n;
          pass = cut ? link->cutLeft : n;
          link->cutLeft -= pass;
        }
        bytesDown += pass;
      }
      auto [writeError, written] =
          co_await asio::async_write(to, asio::buffer(buffer.data(), pass), kTuple);
      if (cut || writeError) {
        link->Reset();
        break;
      }
    }
    if (down) --open;
  }

  asio::awaitable<void> PresentCertificate(tcp::socket socket, RelayCertificate which) {
    ssl::stream<tcp::socket> tls{std::move(socket),
                                 which == RelayCertificate::Untrusted ? *untrusted : *otherHost};
    asio::steady_timer limit{ioc};
    limit.expires_after(std::chrono::seconds{5});
    limit.async_wait([&tls](error_code error) {
      error_code ignored;
      if (!error) tls.lowest_layer().close(ignored);
    });
    co_await tls.async_handshake(ssl::stream_base::server, kTuple);
    limit.cancel();
    error_code ignored;
    tls.lowest_layer().close(ignored);
  }

  // Reads the request head (bounded), answers with the status and closes.
  asio::awaitable<void> AnswerStatus(tcp::socket socket, int status, int retryAfter) {
    std::string head;
    std::array<char, 4096> buffer;
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      auto [error, n] = co_await socket.async_read_some(asio::buffer(buffer), kTuple);
      if (error) co_return;
      head.append(buffer.data(), n);
    }
    const std::string answer = StatusAnswer(status, retryAfter);
    co_await asio::async_write(socket, asio::buffer(answer), kTuple);
    error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
  }

  // Declared first: destroyed last, after everything that uses it.
  asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  const uint16_t targetPort;
  std::atomic<uint16_t> port{0};
  std::optional<ssl::context> untrusted;
  std::optional<ssl::context> otherHost;
  std::vector<std::weak_ptr<Link>> links;  // I/O thread only
  std::atomic<size_t> accepted{0};
  std::atomic<size_t> open{0};
  std::atomic<uint64_t> bytesDown{0};
  mutable std::mutex mutex;  // guards modes
  Modes modes;
  asio::executor_work_guard<asio::io_context::executor_type> work{asio::make_work_guard(ioc)};
  std::thread thread{[this] { ioc.run(); }};  // last: starts once everything above exists
};

FaultRelay::FaultRelay(uint16_t targetPort) : impl_{std::make_unique<Impl>(targetPort)} {}

FaultRelay::~FaultRelay() {
  impl_->ioc.stop();
  impl_->thread.join();
  // The I/O thread is gone, so its objects may be touched here; the io_context then drops the
  // suspended pumps with their sockets.
  error_code ignored;
  impl_->acceptor.close(ignored);
  impl_->ForEachLink([](Link& link) { link.Reset(); });
}

uint16_t FaultRelay::Port() const { return impl_->port.load(); }
uint16_t FaultRelay::TargetPort() const { return impl_->targetPort; }

std::string FaultRelay::Rewrite(std::string_view url) const {
  const std::string from = "127.0.0.1:" + std::to_string(impl_->targetPort);
  std::string result{url};
  const size_t at = result.find(from);
  if (at == std::string::npos) return result;
  const size_t end = at + from.size();
  if (end < result.size() && result[end] >= '0' && result[end] <= '9') return result;
  return result.replace(at, from.size(), "127.0.0.1:" + std::to_string(Port()));
}

void FaultRelay::DropAll() {
  impl_->OnIo([](Impl& impl) { impl.ForEachLink([](Link& link) { link.Reset(); }); });
}

void FaultRelay::SetStall(bool on) {
  impl_->Set([on](Modes& m) { m.stall = on; });
}

void FaultRelay::SetHalfClose(bool on) {
  impl_->Set([on](Modes& m) { m.halfClose = on; });
  if (on) impl_->OnIo([](Impl& impl) { impl.ForEachLink([](Link& link) { link.HalfClose(); }); });
}

void FaultRelay::SetCutAfter(std::optional<size_t> bytes) {
  impl_->Set([bytes](Modes& m) { m.cutAfter = bytes; });
  impl_->OnIo([bytes](Impl& impl) {
    impl.ForEachLink([bytes](Link& link) { link.cutLeft = bytes.value_or(kNoCut); });
  });
}

void FaultRelay::SetRefuse(bool on) {
  impl_->Set([on](Modes& m) { m.refuse = on; });
  impl_->OnIo([on](Impl& impl) {
    if (on) {
      error_code ignored;
      impl.acceptor.close(ignored);
      return;
    }
    if (impl.acceptor.is_open() || impl.Current().refuse) return;
    // The port was free a moment ago; an outgoing connection may hold it briefly.
    for (int attempt = 0; attempt < 200 && !impl.Listen(impl.port.load()); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds{10});
    }
  });
}

void FaultRelay::SetDelay(int ms) {
  impl_->Set([ms](Modes& m) { m.delayMs = std::max(ms, 0); });
}

void FaultRelay::SetCorrupt(bool on) {
  impl_->Set([on](Modes& m) { m.corrupt = on; });
}

void FaultRelay::SetCertificate(std::optional<RelayCertificate> certificate) {
  impl_->Set([certificate](Modes& m) { m.certificate = certificate; });
}

void FaultRelay::SetAnswer(std::optional<int> status, int retryAfter) {
  impl_->Set([status, retryAfter](Modes& m) {
    m.answer = status;
    m.retryAfter = retryAfter;
  });
}

void FaultRelay::Clear() {
  const bool wasRefusing = impl_->Current().refuse;
  SetCutAfter(std::nullopt);
  impl_->Set([](Modes& m) { m = Modes{}; });
  if (wasRefusing) SetRefuse(false);
}

size_t FaultRelay::Accepted() const { return impl_->accepted.load(); }
size_t FaultRelay::OpenLinks() const { return impl_->open.load(); }
uint64_t FaultRelay::BytesDown() const { return impl_->bytesDown.load(); }

}  // namespace vlo::sim
