#include "updater/SiteDownload.h"

#include "core/Endpoints.h"
#include "net/Download.h"

namespace plx {
namespace {

// Why the transfer was stopped from this side.
enum class StopReason { None, Cancelled, TimedOut, TooLarge, SinkFailed };

const char* StopText(StopReason reason) {
  switch (reason) {
    case StopReason::Cancelled:
      return "Update cancelled.";
    case StopReason::TimedOut:
      return "Update download timed out.";
    case StopReason::TooLarge:
      return "Update response is larger than expected.";
    case StopReason::SinkFailed:
      return "Could not save the update download.";
    case StopReason::None:
      break;
  }
  return "Update download was interrupted.";
}

std::string EndText(const DownloadResult& result) {
  switch (result.end) {
    case DownloadEnd::NoSession:
      return "Could not start the update connection.";
    case DownloadEnd::BadUrl:
      return "Could not create the update request.";
    case DownloadEnd::Insecure:
      return "Could not secure the update request.";
    case DownloadEnd::CannotConnect:
      return "Could not connect to the update site.";
    case DownloadEnd::NoResponse:
      // A refused certificate is not a network hiccup that trying later mends: say which.
      if (!result.certificateProblem.empty()) {
        return "Could not reach the update site safely: " + result.certificateProblem + ".";
      }
      return "Could not reach the update site. Try again later.";
    case DownloadEnd::Status:
      if (result.status == 404) return "The website has not published an update manifest yet.";
      return "Update site returned HTTP " + std::to_string(result.status) + ".";
    case DownloadEnd::Interrupted:
    case DownloadEnd::Stopped:
    case DownloadEnd::Complete:
      break;
  }
  return "Update download was interrupted.";
}

}  // namespace

bool DownloadFromSite(const UpdateSite& site, const std::string& url, int64_t byteLimit,
                      const std::atomic<bool>& cancel, const ChunkSink& sink, std::string* error) {
  if (!url.starts_with(site.base + "/")) {
    *error = "Update URL is not on " + vlo::HostOf(site.base) + ".";
    return false;
  }
  if (cancel.load()) {
    *error = "Update cancelled.";
    return false;
  }
  if (!IsSecureSite(site.base)) {
    *error = "Could not secure the update request.";
    return false;
  }

  vlo::Clock& clock = *site.clock;
  const int64_t started = clock.NowMs();
  StopReason stop = StopReason::None;
  const auto keepGoing = [&] {
    if (cancel.load()) {
      stop = StopReason::Cancelled;
    } else if (clock.NowMs() - started > kDownloadLimitMs) {
      stop = StopReason::TimedOut;
    }
    return stop == StopReason::None;
  };
  int64_t total = 0;

  DownloadRequest request;
  request.url = url;
  request.userAgent = std::string{kUpdaterUserAgent};
  request.headers = "Cache-Control: no-cache";
  request.timeoutMs = site.timeoutMs;
  request.keepGoing = keepGoing;
  request.sink = [&](std::string_view chunk) {
    if (!keepGoing()) return false;
    total += static_cast<int64_t>(chunk.size());
    if (total > byteLimit) {
      stop = StopReason::TooLarge;
      return false;
    }
    if (!sink(chunk)) {
      stop = StopReason::SinkFailed;
      return false;
    }
    return true;
  };

  const DownloadResult result = Download(request);
  if (result.end == DownloadEnd::Complete) {
    if (!cancel.load()) return true;
    *error = "Update cancelled.";
    return false;
  }
  *error = result.end == DownloadEnd::Stopped ? StopText(stop) : EndText(result);
  return false;
}

}  // namespace plx
