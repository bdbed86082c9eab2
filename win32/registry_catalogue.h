// The device catalogue over the real registry: the ANSI registry calls on
// HKEY_LOCAL_MACHINE, with the access masks, buffers and reserved arguments
// that the device search asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/ports.h"

namespace korimo::win32 {

// Bytes in the first query of a value; a longer value is queried again with
// the size the registry reports.
inline constexpr std::size_t kValueBufferSize = 256;
// Characters in the buffers of a subkey's name and class (terminator included).
inline constexpr std::size_t kNameBufferSize = 256;

class RegistryCatalogue final : public DeviceCatalogue {
 public:
  // RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access); a handle only on success.
  std::optional<KeyHandle> OpenKey(std::string_view path, std::uint32_t access) override;

  // RegEnumKeyExA with name and class buffers of 256 and no last-write time.
  std::optional<std::string> EnumKey(KeyHandle key, std::uint32_t index) override;

  // RegQueryValueExA into 256 bytes; when the registry reports more data, again
  // with the size it names, so a long value is read whole. The type is ignored.
  std::optional<std::vector<std::uint8_t>> QueryValue(KeyHandle key,
                                                      std::string_view name) override;

  void CloseKey(KeyHandle key) override;
};

}  // namespace korimo::win32
