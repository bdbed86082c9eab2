#include "platform/platform.h"

#include "device/registry_finder.h"
#include "sim/platform.h"

#ifdef _WIN32
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"
#elif defined(KORIMO_HAVE_USB)
#include <thread>

#include "usb/usb_engraver.h"
#endif

namespace korimo::platform {
namespace {

// The registry walk over `catalogue` through `files`, keeping `keep` (what
// they live in, where the ports own it) as long as the ports.
Ports RegistryWalk(DeviceCatalogue& catalogue, DeviceFiles& files, std::shared_ptr<void> keep) {
  struct Walk {
    std::shared_ptr<void> keep;
    RegistryFinder finder;
  };
  auto walk = std::make_shared<Walk>(Walk{std::move(keep), RegistryFinder(catalogue)});
  return {.finder = &walk->finder,
          .files = &files,
          .none_found = "No engraver found: no active engraver interface is registered.",
          .found_how = "in a device-interface catalogue",
          .owned = walk};
}

#if !defined(_WIN32) && !defined(KORIMO_HAVE_USB)
// Finds nothing and opens nothing.
class Nothing final : public EngraverFinder, public DeviceFiles {
 public:
  std::string FindDevicePath(std::string_view) override { return {}; }
  std::string Trouble() const override { return {}; }
  std::vector<FoundEngraver> ListEngravers() override { return {}; }
  std::optional<FileHandle> Open(const std::string&, const OpenParameters&) override { return {}; }
  std::optional<std::size_t> Read(FileHandle, std::span<std::uint8_t>) override { return {}; }
  bool Write(FileHandle, std::span<const std::uint8_t>) override { return false; }
  bool Flush(FileHandle) override { return false; }
  void Close(FileHandle) override {}
};
#endif

}  // namespace

Ports Registry(DeviceCatalogue& catalogue, DeviceFiles& files) {
  return RegistryWalk(catalogue, files, nullptr);
}

Ports Simulated(sim::SimPlatform& simulator) {
  return Registry(simulator.GetCatalogue(), simulator.GetFiles());
}

#ifdef KORIMO_HAVE_USB
Ports Usb(usb::UsbEngraver& engraver) {
  return {.finder = &engraver,
          .files = &engraver,
          .none_found = "No engraver found: no USB device 7e21:0065 is connected.",
          .found_how = "over USB with libusb",
          .listing_opens = true,
          .sleep = [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }};
}
#endif

Ports Real() {
#ifdef _WIN32
  struct Machine {
    win32::RegistryCatalogue catalogue;
    win32::Win32DeviceFiles files;
  };
  auto machine = std::make_shared<Machine>();
  Ports ports = RegistryWalk(machine->catalogue, machine->files, machine);
  ports.sleep = win32::PauseFor;
  return ports;
#elif defined(KORIMO_HAVE_USB)
  auto engraver = std::make_shared<usb::UsbEngraver>();
  Ports ports = Usb(*engraver);
  ports.owned = engraver;
  return ports;
#else
  auto nothing = std::make_shared<Nothing>();
  return {.finder = nothing.get(), .files = nothing.get(), .reachable = false, .owned = nothing};
#endif
}

}  // namespace korimo::platform
