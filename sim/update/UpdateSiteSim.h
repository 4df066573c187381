#pragma once

// The maker's web site as the updater uses it: the manifest "/downloads/chat-latest.json", the
// installers "/downloads/VelaroChat-Setup-<version>.sh" and the product page "/chat", with the
// faults a download can meet scripted on top.

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "sim/SimServer.h"

namespace vlo::sim {

class UpdateSiteSim {
 public:
  // How the installer downloads are answered.
  enum class Fault {
    None,
    NotFound,     // 404
    ServerError,  // 500
    Redirect,     // 302 to another path on the site that serves the same installer
    LongBody,     // the installer with one byte more
    ShortBody,    // the installer without its last byte
    Stall,        // no answer at all; the connection is held until the server stops
  };

  // Serves on `server` (plain or TLS) until destroyed; stops the server first when it goes.
  explicit UpdateSiteSim(SimServer& server);
  ~UpdateSiteSim();
  UpdateSiteSim(const UpdateSiteSim&) = delete;
  UpdateSiteSim& operator=(const UpdateSiteSim&) = delete;

  // The site base, what Endpoints::updateSite holds.
  std::string Base() const;
  // The server, for its request log and scripted answers.
  SimServer& Server() { return server_; }

  // Serves `installer` under its version's name and makes the manifest name it (ManifestFor).
  void Publish(const std::string& version, std::string installer);
  // Publishes an installer file; its version comes from its version marker line. False (with
  // the reason) when the file cannot be read or names no version.
  bool PublishFile(const std::string& path, std::string* error);
  // Serves `installer` under its version's name without touching the manifest.
  void ServeInstaller(const std::string& version, std::string installer);
  // The manifest as given from now on, whatever is published.
  void SetManifest(std::string body, int status = 200);
  // No manifest (404) from now on.
  void Unpublish();
  void SetInstallerFault(Fault fault);

  size_t ManifestRequests() const;
  size_t InstallerRequests() const;  // every path under "/downloads/" but the manifest
  size_t ProductPageRequests() const;

  // {"sha256": …, "size": …, "version": …} for an installer.
  static std::string ManifestFor(const std::string& version, std::string_view installer);
  static std::string Sha256Hex(std::string_view bytes);
  static std::string InstallerPath(const std::string& version);

 private:
  HttpAnswer AnswerDownload(const HttpExchange& exchange) const;

  SimServer& server_;
  mutable std::mutex mutex_;  // guards the members below
  int manifestStatus_{404};
  std::string manifest_;
  // Installer bytes by request path, shared with the answers being sent.
  std::map<std::string, std::shared_ptr<const std::string>> installers_;
  Fault fault_{Fault::None};
};

}  // namespace vlo::sim
