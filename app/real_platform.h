// The ports of the machine the tool runs on: how the engraver is found and its
// device file. On Windows they are the registry walk and the file calls of
// win32/; on Linux the USB back end of usb/ (libusb). A build with neither
// finds nothing and says why.
#pragma once

#include <memory>
#include <string_view>

#include "device/ports.h"

namespace korimo::app {

struct RealPlatform {
  std::shared_ptr<EngraverFinder> finder;
  std::shared_ptr<DeviceFiles> files;
  // Why the engraver cannot be found here; empty where it can.
  std::string_view limitation;
};

RealPlatform MakeRealPlatform();

}  // namespace korimo::app
