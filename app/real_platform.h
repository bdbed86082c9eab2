// The ports of the machine the tool runs on. On Windows they are the registry
// and file calls of win32/. Elsewhere there is no device-interface catalogue to
// search (a USB back end for other systems is later work): the catalogue is
// empty and every open fails, so the engraver is never found.
#pragma once

#include <memory>
#include <string_view>

#include "device/ports.h"

namespace korimo::app {

struct RealPlatform {
  std::unique_ptr<DeviceCatalogue> catalogue;
  std::unique_ptr<DeviceFiles> files;
  // Why the engraver cannot be found here; empty where it can.
  std::string_view limitation;
};

RealPlatform MakeRealPlatform();

}  // namespace korimo::app
