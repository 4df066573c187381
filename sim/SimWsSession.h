#pragma once

// One accepted WebSocket connection of the simulator. Included by the listener only (Beast).

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <memory>

#include "sim/SimRouter.h"
#include "sim/SimWsPeer.h"

namespace vlo::sim {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;

inline constexpr auto kTuple = asio::as_tuple(asio::use_awaitable);

// Owns the stream; its loops and every command run on the connection's strand.
template <class Stream>
class WsSession : public std::enable_shared_from_this<WsSession<Stream>> {
 public:
  WsSession(Stream&& stream, std::shared_ptr<PeerState> state, WsHandlers handlers)
      : ws_{std::move(stream)},
        state_{std::move(state)},
        handlers_{std::move(handlers)},
        writeWake_{ws_.get_executor()},
        readWake_{ws_.get_executor()} {}

  // Completes the upgrade, publishes the peer, then serves it until the connection ends.
  asio::awaitable<void> Run(beast::http::request<beast::http::string_body> request,
                            SimRouter& router) {
    ws_.set_option(websocket::stream_base::timeout{std::chrono::seconds{10},
                                                   websocket::stream_base::none(), false});
    ws_.read_message_max(0);
    auto [acceptError] = co_await ws_.async_accept(request, kTuple);
    if (acceptError) co_return;

    // Holds no executor: a peer may outlive the listener's io_context.
    std::weak_ptr<WsSession> weak{this->shared_from_this()};
    state_->post = [weak](PeerCommand command) {
      if (auto self{weak.lock()}) {
        auto executor{self->ws_.get_executor()};
        asio::post(executor, [self = std::move(self), command = std::move(command)]() mutable {
          self->Handle(std::move(command));
        });
      }
    };
    auto executor{ws_.get_executor()};
    peer_ = std::make_shared<PeerHandle>(state_);
    router.AddPeer(peer_);
    if (handlers_.onOpen) handlers_.onOpen(peer_);
    asio::co_spawn(executor, WriteLoop(this->shared_from_this()), [](std::exception_ptr) {});
    co_await ReadLoop();
  }

 private:
  void Handle(PeerCommand command) {
    if (command.kind == PeerCommand::Kind::Drop) {
      Shut();
    } else if (command.kind != PeerCommand::Kind::Wake) {
      queue_.push_back(std::move(command));
    }
    writeWake_.cancel();
    readWake_.cancel();
  }

  void Shut() {
    auto& lowest{beast::get_lowest_layer(ws_)};
    beast::error_code ignored;
    lowest.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    lowest.close();
  }

  asio::awaitable<void> Sleep(asio::steady_timer& timer) {
    timer.expires_at(asio::steady_timer::time_point::max());
    co_await timer.async_wait(kTuple);
  }

  asio::awaitable<void> ReadLoop() {
    for (;;) {
      while (running_ && state_->Stalled()) co_await Sleep(readWake_);
      beast::flat_buffer buffer;
      auto [error, size] = co_await ws_.async_read(buffer, kTuple);
      if (error) break;
      while (running_ && state_->Stalled()) co_await Sleep(readWake_);
      std::string message{beast::buffers_to_string(buffer.data())};
      {
        std::lock_guard lock{state_->mutex};
        state_->received.push_back(message);
      }
      if (handlers_.onMessage) handlers_.onMessage(peer_, message);
    }
    running_ = false;
    {
      std::lock_guard lock{state_->mutex};
      state_->open = false;
    }
    writeWake_.cancel();
    Shut();
    if (handlers_.onClose) handlers_.onClose(peer_);
  }

  // Holds a reference so the session outlives a read loop that ended first.
  static asio::awaitable<void> WriteLoop(std::shared_ptr<WsSession> self) {
    for (;;) {
      while (self->running_ && (self->queue_.empty() || self->state_->Stalled())) {
        co_await self->Sleep(self->writeWake_);
      }
      if (!self->running_) co_return;
      PeerCommand command{std::move(self->queue_.front())};
      self->queue_.pop_front();
      co_await self->Write(command);
    }
  }

  asio::awaitable<void> Write(const PeerCommand& command) {
    ws_.text(true);
    if (command.kind == PeerCommand::Kind::Text) {
      co_await ws_.async_write(asio::buffer(command.text), kTuple);
    } else if (command.kind == PeerCommand::Kind::Fragmented) {
      const size_t pieces{command.pieces == 0 ? 1 : command.pieces};
      const size_t step{(command.text.size() + pieces - 1) / pieces};
      for (size_t i{0}; i < pieces; ++i) {
        const size_t begin{std::min(command.text.size(), i * step)};
        const size_t end{std::min(command.text.size(), begin + step)};
        auto [error, size] = co_await ws_.async_write_some(
            i + 1 == pieces, asio::buffer(command.text.data() + begin, end - begin), kTuple);
        if (error) co_return;
      }
    } else if (command.kind == PeerCommand::Kind::Close) {
      co_await ws_.async_close(websocket::close_reason{command.code}, kTuple);
    }
  }

  websocket::stream<Stream> ws_;
  std::shared_ptr<PeerState> state_;
  WsHandlers handlers_;
  std::shared_ptr<WsPeer> peer_;
  // Strand only:
  asio::steady_timer writeWake_;
  asio::steady_timer readWake_;
  std::deque<PeerCommand> queue_;
  bool running_{true};
};

}  // namespace vlo::sim
