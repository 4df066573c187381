#include "sim/SimWsPeer.h"

#include <cctype>

namespace vlo::sim {

bool PeerState::Stalled() const {
  std::lock_guard lock{mutex};
  return stalled;
}

bool PeerState::Open() const {
  std::lock_guard lock{mutex};
  return open;
}

namespace {

PeerCommand Command(PeerCommand::Kind kind, std::string_view text = {}, size_t pieces = 1) {
  PeerCommand command;
  command.kind = kind;
  command.text = std::string{text};
  command.pieces = pieces;
  return command;
}

}  // namespace

bool PeerHandle::Post(PeerCommand command) {
  std::lock_guard lifeLock{state_->life->mutex};
  if (!state_->life->alive || !state_->Open()) return false;
  state_->post(std::move(command));
  return true;
}

bool PeerHandle::SendText(std::string_view text) {
  return Post(Command(PeerCommand::Kind::Text, text));
}

bool PeerHandle::SendFragmented(std::string_view text, size_t pieces) {
  return Post(Command(PeerCommand::Kind::Fragmented, text, pieces));
}

void PeerHandle::SendClose(uint16_t code) {
  PeerCommand command{Command(PeerCommand::Kind::Close)};
  command.code = code;
  Post(std::move(command));
}

void PeerHandle::Drop() { Post(Command(PeerCommand::Kind::Drop)); }

void PeerHandle::Stall(bool on) {
  {
    std::lock_guard lock{state_->mutex};
    state_->stalled = on;
  }
  if (!on) Post(Command(PeerCommand::Kind::Wake));
}

bool PeerHandle::IsOpen() const { return state_->Open(); }

std::string PeerHandle::Target() const { return state_->target; }

std::string PeerHandle::Header(std::string_view name) const {
  std::string key{name};
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto it{state_->headers.find(key)};
  return it == state_->headers.end() ? std::string{} : it->second;
}

std::vector<std::string> PeerHandle::Received() const {
  std::lock_guard lock{state_->mutex};
  return state_->received;
}

}  // namespace vlo::sim
