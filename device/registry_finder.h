// The Windows side of discovery: the registry walk of SEnumValue behind the
// EngraverFinder port. The walk never knows why an engraver would be unusable,
// so there is never any trouble to report.
#pragma once

#include <string>

#include "device/SEnumValue.h"
#include "device/ports.h"

namespace korimo {

class RegistryFinder final : public EngraverFinder {
 public:
  explicit RegistryFinder(DeviceCatalogue& catalogue) : walk_(catalogue) {}

  std::string FindDevicePath() override { return walk_.FindDevicePath(); }
  std::string Trouble() const override { return {}; }

 private:
  SEnumValue walk_;
};

}  // namespace korimo
