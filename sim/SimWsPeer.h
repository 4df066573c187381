#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimServer.h"

namespace vlo::sim {

// Whether a listener still runs; peers check it (under its mutex) before posting work to the
// listener's io_context, which is gone once `alive` is false.
struct ServerLife {
  std::mutex mutex;  // guards alive
  bool alive{true};
};

// One operation asked of a WebSocket connection; carried out in order on its strand.
struct PeerCommand {
  enum class Kind { Text, Fragmented, Close, Drop, Wake };
  Kind kind{Kind::Text};
  std::string text;
  size_t pieces{1};
  uint16_t code{1000};
};

// What a peer handle shares with its connection.
struct PeerState {
  std::shared_ptr<ServerLife> life;
  std::string target;
  std::map<std::string, std::string> headers;  // names lower-cased
  // Set before the peer is published; called with life->mutex held while alive.
  std::function<void(PeerCommand)> post;

  mutable std::mutex mutex;  // guards the members below
  bool open{true};
  bool stalled{false};
  std::vector<std::string> received;

  bool Stalled() const;
  bool Open() const;
};

// The WsPeer handed to services and tests. Stays valid (and inert) after its server is gone.
class PeerHandle final : public WsPeer {
 public:
  explicit PeerHandle(std::shared_ptr<PeerState> state) : state_{std::move(state)} {}

  bool SendText(std::string_view text) override;
  bool SendFragmented(std::string_view text, size_t pieces) override;
  void SendClose(uint16_t code) override;
  void Drop() override;
  void Stall(bool on) override;
  bool IsOpen() const override;
  std::string Target() const override;
  std::string Header(std::string_view name) const override;
  std::vector<std::string> Received() const override;

 private:
  bool Post(PeerCommand command);

  std::shared_ptr<PeerState> state_;
};

}  // namespace vlo::sim
