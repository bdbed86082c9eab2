// The engraver's USB device nodes as the Windows device manager knows them,
// read through SetupAPI: every node whose hardware IDs name 7E21:0065, with
// its service, its driver and its problem code. Only reads.
#pragma once

#include "device/device_troubles.h"
#include "device/ports.h"

namespace korimo::win32 {

class SetupApiNodes final : public EngraverNodes {
 public:
  // `catalogue` is the registry the discovery walks: a node has an interface
  // when the walk finds an active one of it there.
  explicit SetupApiNodes(DeviceCatalogue& catalogue) : catalogue_(catalogue) {}
  std::vector<EngraverNode> ReadNodes() override;

 private:
  DeviceCatalogue& catalogue_;
};

}  // namespace korimo::win32
