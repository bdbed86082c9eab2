#include "app/real_platform.h"

#ifdef _WIN32
#include "device/registry_finder.h"
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"
#elif defined(KORIMO_HAVE_USB)
#include "usb/usb_engraver.h"
#endif

namespace korimo::app {
namespace {

#ifdef _WIN32
// The registry walk needs the catalogue to live as long as the finder.
struct Registry {
  win32::RegistryCatalogue catalogue;
  RegistryFinder finder{catalogue};
};
#elif !defined(KORIMO_HAVE_USB)
class NoFinder final : public EngraverFinder {
 public:
  std::string FindDevicePath() override { return {}; }
  std::string Trouble() const override { return {}; }
  std::vector<FoundEngraver> ListEngravers() override { return {}; }
  void Choose(const std::string& /*path*/) override {}
};

class NoDeviceFiles final : public DeviceFiles {
 public:
  std::optional<FileHandle> Open(const std::string& /*path*/,
                                 const OpenParameters& /*params*/) override {
    return std::nullopt;
  }
  std::optional<std::size_t> Read(FileHandle /*file*/,
                                  std::span<std::uint8_t> /*buffer*/) override {
    return std::nullopt;
  }
  bool Write(FileHandle /*file*/, std::span<const std::uint8_t> /*bytes*/) override {
    return false;
  }
  bool Flush(FileHandle /*file*/) override { return false; }
  void Close(FileHandle /*file*/) override {}
};
#endif

}  // namespace

RealPlatform MakeRealPlatform() {
#ifdef _WIN32
  auto registry = std::make_shared<Registry>();
  return {std::shared_ptr<EngraverFinder>(registry, &registry->finder),
          std::make_shared<win32::Win32DeviceFiles>(),
          {}};
#elif defined(KORIMO_HAVE_USB)
  auto engraver = std::make_shared<usb::UsbEngraver>();
  return {engraver, engraver, {}};
#else
  return {std::make_shared<NoFinder>(), std::make_shared<NoDeviceFiles>(),
          "This korimo was built without a way to reach USB devices; it stays "
          "\"Searching...\". Try korimo-demo for the simulated engraver."};
#endif
}

}  // namespace korimo::app
