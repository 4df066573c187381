#include "app/Readers.h"

namespace vlo {

void RegisterReaders(ChatHub& hub, const Endpoints& endpoints) {
  // Platforms without a reader report Off and end (the hub's default entry).
  (void)hub;
  (void)endpoints;
}

}  // namespace vlo
