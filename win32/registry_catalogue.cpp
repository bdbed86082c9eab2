#include "win32/registry_catalogue.h"

#include <algorithm>
#include <array>

#include "win32/windows_api.h"

namespace korimo::win32 {
namespace {

HKEY KeyOf(KeyHandle key) {
  return reinterpret_cast<HKEY>(key);
}

// A value may grow between two queries; a few rounds settle it.
constexpr int kQueryRounds = 4;

}  // namespace

std::optional<KeyHandle> RegistryCatalogue::OpenKey(std::string_view path, std::uint32_t access) {
  HKEY key = nullptr;
  const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(path).c_str(), 0, access, &key);
  if (result != ERROR_SUCCESS || key == nullptr) {
    return std::nullopt;
  }
  return reinterpret_cast<KeyHandle>(key);
}

std::optional<std::string> RegistryCatalogue::EnumKey(KeyHandle key, std::uint32_t index) {
  std::array<char, kNameBufferSize> name{};
  std::array<char, kNameBufferSize> key_class{};
  DWORD name_length = static_cast<DWORD>(name.size());
  DWORD class_length = static_cast<DWORD>(key_class.size());
  const LONG result = RegEnumKeyExA(KeyOf(key), index, name.data(), &name_length, nullptr,
                                    key_class.data(), &class_length, nullptr);
  if (result != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The length excludes the terminator; never trust it beyond the buffer.
  const std::size_t length = std::min<std::size_t>(name_length, name.size() - 1);
  return std::string(name.data(), length);
}

std::optional<std::vector<std::uint8_t>> RegistryCatalogue::QueryValue(KeyHandle key,
                                                                       std::string_view name) {
  const std::string value_name(name);
  std::vector<std::uint8_t> data(kValueBufferSize);
  for (int round = 0; round < kQueryRounds; ++round) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    const LONG result =
        RegQueryValueExA(KeyOf(key), value_name.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_SUCCESS) {
      data.resize(std::min<std::size_t>(size, data.size()));
      return data;
    }
    if (result != ERROR_MORE_DATA || size <= data.size()) {
      return std::nullopt;
    }
    data.assign(size, 0);
  }
  return std::nullopt;
}

void RegistryCatalogue::CloseKey(KeyHandle key) {
  RegCloseKey(KeyOf(key));
}

}  // namespace korimo::win32
