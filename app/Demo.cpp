#include "app/Demo.h"

#include "net/Http.h"
#include "sim/world/SimWorld.h"

namespace vlo {

namespace {

sim::SimWorldOptions WorldOptions(double rate) {
  sim::SimWorldOptions options;
  if (rate > 0) {
    options.twitchRate = rate * 0.4;
    options.kickRate = rate * 0.35;
    options.youtubeRate = rate * 0.25;
  }
  return options;
}

}  // namespace

Demo::Demo(double rate) : world_{std::make_unique<sim::SimWorld>(WorldOptions(rate))} {
  plx::TrustExtraCertificateForTests(sim::SimServer::TestCaPath());
}

Demo::~Demo() = default;

const Endpoints& Demo::GetEndpoints() const { return world_->GetEndpoints(); }

ChatTargets Demo::Targets() const { return world_->DemoTargets(); }

}  // namespace vlo
