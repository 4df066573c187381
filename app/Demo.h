#pragma once

#include <memory>

#include "core/ChatHub.h"
#include "core/Endpoints.h"

namespace vlo {

namespace sim {
class SimWorld;
}

// The built-in demo: every service simulated inside the program, with live-looking traffic.
// While it exists, TLS connections also trust the simulator's own certificate authority (its
// image servers speak https, as the real ones do).
class Demo {
 public:
  // `rate`: messages per second over all platforms; 0 keeps the demo's own pace.
  explicit Demo(double rate = 0);
  ~Demo();

  const Endpoints& GetEndpoints() const;
  ChatTargets Targets() const;

 private:
  std::unique_ptr<sim::SimWorld> world_;
};

}  // namespace vlo
