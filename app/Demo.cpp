#include "app/Demo.h"

#include "net/Http.h"
#include "sim/world/SimWorld.h"

namespace vlo {

Demo::Demo() : world_{std::make_unique<sim::SimWorld>()} {
  plx::TrustExtraCertificateForTests(sim::SimServer::TestCaPath());
}

Demo::~Demo() = default;

const Endpoints& Demo::GetEndpoints() const { return world_->GetEndpoints(); }

ChatTargets Demo::Targets() const { return world_->DemoTargets(); }

}  // namespace vlo
