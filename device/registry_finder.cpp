#include "device/registry_finder.h"

#include <algorithm>
#include <cctype>

namespace korimo {
namespace {

// Device paths are compared as the platform compares them: ignoring case.
bool SamePath(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string RegistryFinder::FindDevicePath() {
  if (chosen_.empty()) {
    return walk_.FindDevicePath();
  }
  for (const std::string& path : walk_.ListDevicePaths()) {
    if (!path.empty() && SamePath(path, chosen_)) {
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
