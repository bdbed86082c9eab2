#include "registry_scratch.h"

#include <algorithm>
#include <string>

#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

// Keys are made with the wide calls: Wine's RegCreateKeyExA refuses names of
// more than about 200 characters, though the registry holds up to 255.
std::wstring Wide(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

HKEY Create(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

RegistryScratch::~RegistryScratch() {
  for (auto path = added_.rbegin(); path != added_.rend(); ++path) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(*path).c_str());
  }
}

bool RegistryScratch::Add(const std::string& path) {
  const HKEY key = Create(path);
  if (key == nullptr) {
    return false;
  }
  RegCloseKey(key);
  if (std::find(added_.begin(), added_.end(), path) == added_.end()) {
    added_.push_back(path);
  }
  return true;
}

bool RegistryScratch::Set(const std::string& path, const std::string& name, unsigned long type,
                          const std::uint8_t* data, std::size_t size) {
  const HKEY key = Create(path);
  if (key == nullptr) {
    return false;
  }
  const LONG result = RegSetValueExA(key, name.c_str(), 0, type, data, static_cast<DWORD>(size));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool RegistryScratch::SetDword(const std::string& path, const std::string& name,
                               std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return Set(path, name, REG_DWORD, bytes, sizeof bytes);
}

bool RegistryScratch::SetString(const std::string& path, const std::string& name,
                                const std::string& text) {
  // With its terminating NUL, as REG_SZ values are stored.
  return Set(path, name, REG_SZ, reinterpret_cast<const std::uint8_t*>(text.c_str()),
             text.size() + 1);
}

bool RegistryScratch::SetBinary(const std::string& path, const std::string& name,
                                const std::vector<std::uint8_t>& bytes) {
  return Set(path, name, REG_BINARY, bytes.data(), bytes.size());
}

}  // namespace korimo::win32test
