#pragma once

// Fault relays in front of the services of a simulated world, for velaro-sim: a person breaks a
// demo on purpose with commands, or a load run lets faults come by themselves in a rotation.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/Endpoints.h"
#include "sim/faults/FaultRelay.h"
#include "sim/world/SimWorld.h"

namespace vlo::sim {

class WorldFaults {
 public:
  // The services a relay can stand in front of: "twitch" (chat), "kick" (web site and public
  // API), "pusher", "youtube" (web site: pages and the chat feed), "youtube-api", "emotes" (the
  // three catalogues), "images" (the image servers named in the endpoints).
  static const std::vector<std::string>& ServiceNames();

  // Relays in front of `services` of `world` ("all" for every one). Nothing, with `error` filled,
  // for an unknown name. The world must outlive the result; its Kick site is told to take the
  // relay's origin as its own.
  static std::unique_ptr<WorldFaults> Create(SimWorld& world,
                                             const std::vector<std::string>& services,
                                             std::string* error);
  ~WorldFaults();  // ends the rotation, then the relays

  // The world's endpoints with the relayed services pointed at their relays.
  const Endpoints& GetEndpoints() const { return endpoints_; }

  // One command line, any thread: "<service|all> <fault>" where fault is drop, stall, halfclose,
  // cut <bytes>, refuse, delay <ms>, corrupt, untrusted, otherhost, status <code> [retry-after],
  // or clear; "clear" alone clears every relay; "help" lists them. Returns what was done, or a
  // text beginning "error:".
  std::string Command(std::string_view line);

  // Every `everyMs` (real time) clears the previous fault and starts the next one of the
  // rotation (each fault over each relayed service in turn; certificate faults only where the
  // service speaks TLS), which lasts `lengthMs`. `log` gets one line per start and end, on the
  // rotation's own thread. At most one rotation; it stops with this object.
  void StartRotation(int everyMs, int lengthMs, std::function<void(const std::string&)> log);

  static constexpr const char* kHelp =
      "Fault commands: <service|all> drop | stall | halfclose | cut <bytes> | refuse | "
      "delay <ms> | corrupt | untrusted | otherhost | status <code> [retry-after] | clear; "
      "\"clear\" alone ends every fault";

 private:
  struct Service {
    std::string name;
    bool secure{false};
    std::vector<FaultRelay*> relays;
  };

  WorldFaults() = default;
  std::string Apply(Service& service, const std::vector<std::string>& words);
  void Rotate(int everyMs, int lengthMs);

  Endpoints endpoints_;
  std::map<uint16_t, std::unique_ptr<FaultRelay>> relays_;  // by the service's port
  std::vector<Service> services_;                           // fixed after Create
  std::mutex commandMutex_;  // one command at a time (stdin and the rotation)

  std::function<void(const std::string&)> log_;  // set before the rotation starts
  std::atomic<bool> stop_{false};
  std::thread rotation_;
};

}  // namespace vlo::sim
