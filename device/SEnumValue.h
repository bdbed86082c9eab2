// Device discovery: finds the engraver's USB device interface in the registry's
// device-interface catalogue and returns its symbolic link, the path that the
// channel opens as a file. Stateless: every call walks the catalogue afresh.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/ports.h"

namespace korimo {

inline constexpr std::string_view kDeviceClassesKey =
    "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";
// Compared case-sensitively against instance key names.
inline constexpr std::string_view kEngraverMatch = "Vid_7e21&Pid_0065";
inline constexpr std::string_view kLinkedValue = "Linked";
inline constexpr std::string_view kSymbolicLinkValue = "SymbolicLink";

class SEnumValue {
 public:
  explicit SEnumValue(DeviceCatalogue& catalogue) : catalogue_(catalogue) {}

  // The SymbolicLink of the first active engraver interface in enumeration
  // order, or the empty string. Every key it opens is closed before it returns.
  std::string FindDevicePath();

  // The SymbolicLink of every active engraver interface, by the same rules and
  // in the same order as FindDevicePath, which finds the first of them. An
  // active instance whose link cannot be read gives an empty path.
  std::vector<std::string> ListDevicePaths();

  // The first four bytes of the value as a little-endian number (a shorter
  // value fills the low bytes); 0 when the key or value cannot be read, or
  // when the value is longer than four bytes and so is no number.
  std::uint32_t ReadRegDword(std::string_view key_path, std::string_view value_name);

  // The value's text up to its first NUL, however long the value is; empty
  // when the key or value cannot be read.
  std::string ReadRegString(std::string_view key_path, std::string_view value_name);

 private:
  enum class WalkOn { kNextInstance, kNextClass, kStop };

  // Visits every active engraver instance (its key path below the catalogue)
  // in enumeration order, as far as `visit` lets it go on. Every key it opens
  // is closed before it returns.
  void WalkActiveInstances(const std::function<WalkOn(const std::string& instance_path)>& visit);

  DeviceCatalogue& catalogue_;
};

}  // namespace korimo
