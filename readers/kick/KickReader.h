#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "net/Http.h"

namespace plx {
class WebSocketClient;
}

namespace vlo {

// The Kick reader's thread entry, to be registered with ChatHub::SetReaderEntry for Kick. The
// endpoints are copied.
ReaderEntry MakeKickReader(const Endpoints& endpoints);

// One Kick channel's chat: finds the channel, resolves its chatroom, asks for Pusher credentials
// and reads the Pusher socket, cycle after cycle, until the hub no longer wants Kick. Lives on
// the Kick reader thread; only Run's own thread touches its members.
class KickReader {
 public:
  KickReader(ChatHub& hub, Endpoints endpoints);

  // Runs cycles until one ends the thread (no channel, unknown channel, stop).
  void Run();

 private:
  // Cycle outcomes: a delay before the next cycle, or nothing when the thread should end.
  using Next = std::optional<int64_t>;

  Next RunCycle();
  // A request with the reader's time-out, clock and stop.
  plx::HttpResponse Send(plx::HttpRequest request);
  plx::HttpResponse FetchOwnChannel(const std::string& accessToken);
  // Steps after the lookup: credentials, socket, receive loop.
  Next Connect(const std::string& channel, int64_t chatroomId, int64_t channelId, bool canSend,
               bool signedIn);
  // Counts every frame in `heard`, which the ping thread reads.
  void ReadFrames(plx::WebSocketClient& socket, const std::string& channel, bool canSend,
                  bool signedIn, std::atomic<uint64_t>& heard);

  ChatHub& hub_;
  const Endpoints endpoints_;
};

}  // namespace vlo
