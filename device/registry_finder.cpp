#include "device/registry_finder.h"

namespace korimo {

std::string RegistryFinder::FindDevicePath(std::string_view chosen) {
  if (chosen.empty()) {
    return walk_.FindDevicePath();
  }
  for (const std::string& path : walk_.ListDevicePaths()) {
    if (!path.empty() && SameDevicePath(path, chosen)) {
      return path;
    }
  }
  return {};
}

std::vector<FoundEngraver> RegistryFinder::ListEngravers() {
  std::vector<FoundEngraver> found;
  for (std::string& path : walk_.ListDevicePaths()) {
    std::string trouble = path.empty() ? std::string(kNoLinkTrouble) : std::string();
    found.push_back({std::move(path), std::move(trouble)});
  }
  return found;
}

}  // namespace korimo
