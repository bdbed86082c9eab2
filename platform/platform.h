// The ways to the engraver, built in one place for the windows and korimo-cli
// alike: on Windows the registry walk over the device-interface catalogue and
// the Win32 device files, on Linux the USB back end (libusb), and in a build
// with neither nothing at all; the simulated engraver's registry and device
// files on any of them.
#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "device/ports.h"

namespace korimo::sim {
class SimPlatform;
}
namespace korimo::usb {
class UsbEngraver;
}

namespace korimo::platform {

// How engravers are found and reached, and the words that depend on it.
struct Ports {
  EngraverFinder* finder = nullptr;
  DeviceFiles* files = nullptr;
  // The sentence when no engraver is found.
  std::string_view none_found = {};
  // How engravers are found, for the support report: "over USB with libusb".
  std::string_view found_how = {};
  // Listing an engraver opens it (the USB scan claims each one), so one listed
  // without trouble can be used.
  bool listing_opens = false;
  // Waits between two tries of a status read that got no answer; none (no
  // wait) for the simulated engraver.
  void (*sleep)(std::chrono::milliseconds) = nullptr;
  // False in a build without a way to reach USB devices: nothing is found.
  bool reachable = true;
  // What `finder` and `files` point into, where the ports own it.
  std::shared_ptr<void> owned = nullptr;
};

// The machine's own ports.
Ports Real();

// The registry walk over `catalogue`, reaching engravers through `files`;
// both outlive the ports.
Ports Registry(DeviceCatalogue& catalogue, DeviceFiles& files);

// The first engraver of `simulator`, which outlives the ports.
Ports Simulated(sim::SimPlatform& simulator);

// The USB back end `engraver` (Linux with libusb), which outlives the ports.
Ports Usb(usb::UsbEngraver& engraver);

}  // namespace korimo::platform
