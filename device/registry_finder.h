// The Windows side of discovery: the registry walk of SEnumValue behind the
// EngraverFinder port. The walk never knows why an engraver would be unusable,
// so the only trouble it reports is an active interface without a readable
// link.
#pragma once

#include <string>
#include <vector>

#include "device/SEnumValue.h"
#include "device/ports.h"

namespace korimo {

inline constexpr std::string_view kNoLinkTrouble =
    "An active engraver interface is registered without a readable SymbolicLink, so it cannot "
    "be opened.";

class RegistryFinder final : public EngraverFinder {
 public:
  explicit RegistryFinder(DeviceCatalogue& catalogue) : walk_(catalogue) {}

  // With nothing chosen this is the walk itself, exactly as the windows use it.
  std::string FindDevicePath(std::string_view chosen) override;
  std::string Trouble() const override { return {}; }
  std::vector<FoundEngraver> ListEngravers() override;

 private:
  SEnumValue walk_;
};

}  // namespace korimo
