#include "sim/update/UpdateSiteSim.h"

#include <openssl/evp.h>

#include <fstream>
#include <iterator>

#include "core/Json.h"

namespace vlo::sim {
namespace {

constexpr std::string_view kDownloads = "/downloads/";
constexpr std::string_view kManifest = "/downloads/chat-latest.json";
constexpr std::string_view kRedirected = "/downloads/moved/";
constexpr std::string_view kVersionMarker = "# VelaroChat-Installer-Version: ";

}  // namespace

UpdateSiteSim::UpdateSiteSim(SimServer& server) : server_{server} {
  server_.Route("GET", std::string{kManifest}, [this](const HttpExchange&) {
    std::lock_guard lock{mutex_};
    if (manifestStatus_ == 404) return HttpAnswer::Text("no release yet", "text/plain", 404);
    return HttpAnswer::Json(manifest_, manifestStatus_);
  });
  server_.RoutePrefix("GET", std::string{kDownloads},
                      [this](const HttpExchange& exchange) { return AnswerDownload(exchange); });
  server_.Route("GET", "/chat", [](const HttpExchange&) {
    return HttpAnswer::Text(
        "<!doctype html><title>Velaro Chat</title><h1>Velaro Chat</h1>"
        "<p><a href=\"/downloads/\">Download the latest version</a></p>",
        "text/html; charset=utf-8");
  });
}

UpdateSiteSim::~UpdateSiteSim() { server_.Stop(); }

std::string UpdateSiteSim::Base() const { return server_.BaseUrl(); }

HttpAnswer UpdateSiteSim::AnswerDownload(const HttpExchange& exchange) const {
  std::string path = exchange.path;
  Fault fault;
  std::shared_ptr<const std::string> bytes;
  {
    std::lock_guard lock{mutex_};
    fault = fault_;
    if (path.starts_with(kRedirected)) {
      // Where a redirect points: the same installer, to show that a client followed it.
      path = std::string{kDownloads} + path.substr(kRedirected.size());
      fault = Fault::None;
    }
    if (const auto it = installers_.find(path); it != installers_.end()) bytes = it->second;
  }
  if (!bytes) return HttpAnswer::Text("not found", "text/plain", 404);

  HttpAnswer answer = HttpAnswer::Text(*bytes, "application/x-sh");
  switch (fault) {
    case Fault::None:
      break;
    case Fault::NotFound:
      return HttpAnswer::Text("not found", "text/plain", 404);
    case Fault::ServerError:
      return HttpAnswer::Text("server error", "text/plain", 500);
    case Fault::Redirect: {
      HttpAnswer moved = HttpAnswer::Text("moved", "text/plain", 302);
      moved.headers.emplace_back(
          "Location", Base() + std::string{kRedirected} + path.substr(kDownloads.size()));
      return moved;
    }
    case Fault::LongBody:
      answer.body += '\n';
      break;
    case Fault::ShortBody:
      if (!answer.body.empty()) answer.body.pop_back();
      break;
    case Fault::Stall:
      answer.stall = true;
      break;
  }
  return answer;
}

void UpdateSiteSim::Publish(const std::string& version, std::string installer) {
  std::string manifest = ManifestFor(version, installer);
  ServeInstaller(version, std::move(installer));
  SetManifest(std::move(manifest));
}

bool UpdateSiteSim::PublishFile(const std::string& path, std::string* error) {
  std::ifstream in{path, std::ios::binary};
  std::string bytes{std::istreambuf_iterator<char>{in}, {}};
  if (!in.is_open() || bytes.empty()) {
    *error = "cannot read " + path;
    return false;
  }
  const size_t marker = bytes.substr(0, 4096).find(kVersionMarker);
  const size_t start = marker == std::string::npos ? marker : marker + kVersionMarker.size();
  const size_t end = start == std::string::npos ? start : bytes.find('\n', start);
  if (end == std::string::npos || end == start) {
    *error = path + " names no installer version";
    return false;
  }
  const std::string version = bytes.substr(start, end - start);
  Publish(version, std::move(bytes));
  return true;
}

void UpdateSiteSim::ServeInstaller(const std::string& version, std::string installer) {
  auto bytes = std::make_shared<const std::string>(std::move(installer));
  std::lock_guard lock{mutex_};
  installers_[InstallerPath(version)] = std::move(bytes);
}

void UpdateSiteSim::SetManifest(std::string body, int status) {
  std::lock_guard lock{mutex_};
  manifest_ = std::move(body);
  manifestStatus_ = status;
}

void UpdateSiteSim::Unpublish() {
  std::lock_guard lock{mutex_};
  manifest_.clear();
  manifestStatus_ = 404;
}

void UpdateSiteSim::SetInstallerFault(Fault fault) {
  std::lock_guard lock{mutex_};
  fault_ = fault;
}

size_t UpdateSiteSim::ManifestRequests() const { return server_.RequestCount(kManifest); }

size_t UpdateSiteSim::InstallerRequests() const {
  size_t count = 0;
  for (const HttpExchange& exchange : server_.Requests()) {
    if (exchange.path.starts_with(kDownloads) && exchange.path != kManifest) ++count;
  }
  return count;
}

size_t UpdateSiteSim::ProductPageRequests() const { return server_.RequestCount("/chat"); }

std::string UpdateSiteSim::ManifestFor(const std::string& version, std::string_view installer) {
  return json::Dump({{"version", version},
                     {"sha256", Sha256Hex(installer)},
                     {"size", static_cast<int64_t>(installer.size())}});
}

std::string UpdateSiteSim::Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 0x0f];
  }
  return text;
}

std::string UpdateSiteSim::InstallerPath(const std::string& version) {
  return std::string{kDownloads} + "VelaroChat-Setup-" + version + ".sh";
}

}  // namespace vlo::sim
