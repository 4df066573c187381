#include "app/PrintRun.h"

#include <array>
#include <condition_variable>
#include <mutex>

#include "app/ChatPrinter.h"

namespace vlo {

namespace {

std::mutex gMutex;
std::condition_variable gWake;
bool gPending = false;  // guarded by gMutex

void Wake() {
  {
    std::lock_guard lock{gMutex};
    gPending = true;
  }
  gWake.notify_one();
}

}  // namespace

void WakePrintRun() { Wake(); }

int RunPrint(ChatHub& hub, std::ostream& out, bool json, const std::atomic<bool>& stop) {
  ChatPrinter printer{out, json};
  // Called on reader threads; only wakes the printing loop, which coalesces bursts.
  hub.SetChangedCallback(Wake);
  hub.Start();

  uint64_t seenRevision = ~uint64_t{0};
  const auto print = [&] {
    const uint64_t revision = hub.Revision();
    if (revision == seenRevision) return;
    seenRevision = revision;
    std::array<PlatformStatus, 3> statuses;
    for (size_t i = 0; i < statuses.size(); ++i)
      statuses[i] = hub.GetStatus(plx::kReadPlatforms[i]);
    printer.Update(hub.Snapshot(), statuses);
  };
  while (!stop.load()) {
    {
      std::unique_lock lock{gMutex};
      gWake.wait(lock, [&] { return gPending || stop.load(); });
      gPending = false;
    }
    print();
  }
  // What happened just before the stop (the last line sent, say) is printed too.
  print();

  hub.SetChangedCallback({});
  hub.Stop();
  return 0;
}

}  // namespace vlo
