#pragma once

#include <atomic>
#include <functional>
#include <ostream>
#include <thread>

#include "core/ChatHub.h"
#include "core/Endpoints.h"

namespace vlo {

// Sends every line read from standard input, trimmed, to every platform ready for sending, as
// the compose bar does for "all signed-in chats". A line that arrives before any chat is ready
// waits for one (up to 15 s); each failure becomes the "Not sent to …" system line. At the end
// of the input `onEnd` runs, once every line has been sent. Runs on a thread of its own until
// the input ends or `stop` is set.
class StdinSender {
 public:
  StdinSender(ChatHub& hub, const Endpoints& endpoints, const std::atomic<bool>& stop,
              std::ostream& err, std::function<void()> onEnd);
  ~StdinSender();  // joins the thread (it notices `stop` within 100 ms)
  StdinSender(const StdinSender&) = delete;
  StdinSender& operator=(const StdinSender&) = delete;

 private:
  void Run();
  void SendLine(const std::string& line);

  ChatHub& hub_;
  const Endpoints endpoints_;
  const std::atomic<bool>& stop_;
  std::ostream& err_;  // used on the sender thread only
  std::function<void()> onEnd_;
  std::thread thread_;
};

}  // namespace vlo
