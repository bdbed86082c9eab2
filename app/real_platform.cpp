#include "app/real_platform.h"

#ifdef _WIN32
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"
#endif

namespace korimo::app {
namespace {

#ifndef _WIN32
class EmptyCatalogue final : public DeviceCatalogue {
 public:
  std::optional<KeyHandle> OpenKey(std::string_view /*path*/, std::uint32_t /*access*/) override {
    return std::nullopt;
  }
  std::optional<std::string> EnumKey(KeyHandle /*key*/, std::uint32_t /*index*/) override {
    return std::nullopt;
  }
  std::optional<std::vector<std::uint8_t>> QueryValue(KeyHandle /*key*/,
                                                      std::string_view /*name*/) override {
    return std::nullopt;
  }
  void CloseKey(KeyHandle /*key*/) override {}
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
  return {std::make_unique<win32::RegistryCatalogue>(),
          std::make_unique<win32::Win32DeviceFiles>(),
          {}};
#else
  return {std::make_unique<EmptyCatalogue>(), std::make_unique<NoDeviceFiles>(),
          "This system has no device-interface registry to find the engraver in; "
          "it stays \"Searching...\". Try korimo-demo for the simulated engraver."};
#endif
}

}  // namespace korimo::app
