#pragma once

// The one-shot listener a sign-in with the user's own app registration is redirected to: bound
// to 127.0.0.1 on the port the user registered with the app, it takes the browser's request to
// the callback path, answers it with a small page and hands over the query's parameters.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "core/Clock.h"

namespace vlo {

class LoopbackRedirect {
 public:
  static constexpr const char* kCallbackPath = "/callback";

  LoopbackRedirect() = default;
  ~LoopbackRedirect();  // closes the listener
  LoopbackRedirect(LoopbackRedirect&& other) noexcept;
  LoopbackRedirect& operator=(LoopbackRedirect&& other) noexcept;
  LoopbackRedirect(const LoopbackRedirect&) = delete;
  LoopbackRedirect& operator=(const LoopbackRedirect&) = delete;

  // Binds 127.0.0.1:`port`; false with a sentence for the user when the port cannot be used.
  bool Listen(int port, std::string* error);
  // "http://127.0.0.1:<port>/callback"
  static std::string RedirectUri(int port);

  struct Callback {
    std::map<std::string, std::string> query;  // percent-decoded
  };
  // Waits for the browser's request to the callback path, answering other paths with 404 and
  // ignoring broken requests; gives nothing when `cancelled` turns true (checked every 100 ms)
  // or the clock passes `deadlineMs`. `page` makes the answer page from the parameters. The
  // listener is closed before it returns.
  std::optional<Callback> Wait(Clock& clock, int64_t deadlineMs,
                               const std::function<bool()>& cancelled,
                               const std::function<std::string(const Callback&)>& page);

  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_{-1};
};

}  // namespace vlo
