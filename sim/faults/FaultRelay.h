#pragma once

// A TCP relay on 127.0.0.1 in front of one simulated service that breaks the traffic through it
// on command, the way home connections break: drops, stalls, half-closed and cut connections,
// refused connections, slow and garbled bytes, a wrong certificate, an HTTP error instead of the
// service. It only moves bytes, so TLS runs end to end through it (the client checks the
// service's own certificate), except while it presents a certificate of its own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vlo::sim {

enum class RelayCertificate {
  Untrusted,  // for 127.0.0.1 and localhost, from an authority nobody trusts
  OtherHost,  // from the test authority, but for another host name
};

class FaultRelay {
 public:
  // Listens on an ephemeral port of 127.0.0.1 and relays every connection to
  // 127.0.0.1:targetPort, on a thread of its own.
  explicit FaultRelay(uint16_t targetPort);
  // Closes every connection and joins the thread.
  ~FaultRelay();
  FaultRelay(const FaultRelay&) = delete;
  FaultRelay& operator=(const FaultRelay&) = delete;

  uint16_t Port() const;
  uint16_t TargetPort() const;
  // `url` with the target's "127.0.0.1:<port>" put on the relay's port; unchanged when it does
  // not name the target.
  std::string Rewrite(std::string_view url) const;

  // --- Faults; any thread. Modes hold for open and new connections until turned off or Clear.
  // Resets every open connection at once (RST to both sides). New connections relay as usual.
  void DropAll();
  // Nothing moves either way; connections stay open (a path that died without a close). New
  // connections are accepted and stall too.
  void SetStall(bool on);
  // The client's side gets an end of stream, as if the service had closed its half: what it
  // sends still reaches the service, whose answers are thrown away.
  void SetHalfClose(bool on);
  // Each connection is reset after `bytes` more bytes from the service (counted from the call,
  // or from the start of a connection made later): a frame or body cut in the middle.
  void SetCutAfter(std::optional<size_t> bytes);
  // New connections are refused (the listener is closed); open ones go on. Turning it off
  // listens again on the same port.
  void SetRefuse(bool on);
  // Every chunk is held `ms` of real time before it is passed on, both ways; 0 turns it off.
  void SetDelay(int ms);
  // Bytes from the service are garbled: a byte of every chunk becomes 0xFF (invalid UTF-8 in a
  // text frame, a broken line in a plain header or body).
  void SetCorrupt(bool on);
  // New connections are not relayed: the relay answers the TLS handshake itself with that
  // certificate, so the client must refuse it.
  void SetCertificate(std::optional<RelayCertificate> certificate);
  // New connections are not relayed: the relay reads the request head and answers it with this
  // HTTP status itself (plain connections only), with "Retry-After: <retryAfter>" when positive.
  void SetAnswer(std::optional<int> status, int retryAfter = 0);
  // Every mode off; open connections go on.
  void Clear();

  // --- Observations; any thread.
  size_t Accepted() const;     // connections accepted so far
  size_t OpenLinks() const;    // connections being relayed now
  uint64_t BytesDown() const;  // bytes passed from the service to clients so far

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vlo::sim
