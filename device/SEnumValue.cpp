#include "device/SEnumValue.h"

#include <functional>
#include <optional>
#include <vector>

namespace korimo {
namespace {

// Names and strings come back in fixed buffers; only the text before the first
// NUL counts.
std::string CutAtNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

constexpr std::size_t kDwordSize = 4;

}  // namespace

void SEnumValue::WalkActiveInstances(
    const std::function<WalkOn(const std::string& instance_path)>& visit) {
  const std::optional<KeyHandle> catalogue =
      catalogue_.OpenKey(kDeviceClassesKey, kKeyEnumerateSubKeys);
  if (!catalogue) {
    return;
  }

  bool stop = false;
  for (std::uint32_t i = 0; !stop; ++i) {
    const std::optional<std::string> class_name = catalogue_.EnumKey(*catalogue, i);
    if (!class_name) {
      break;
    }
    const std::string class_path = std::string(kDeviceClassesKey) + "\\" + CutAtNul(*class_name);
    const std::optional<KeyHandle> class_key = catalogue_.OpenKey(class_path, kKeyEnumerateSubKeys);
    if (!class_key) {
      continue;
    }

    for (std::uint32_t j = 0;; ++j) {
      const std::optional<std::string> instance = catalogue_.EnumKey(*class_key, j);
      if (!instance) {
        break;
      }
      const std::string instance_name = CutAtNul(*instance);
      if (instance_name.find(kEngraverMatch) == std::string::npos) {
        continue;
      }
      const std::string instance_path = class_path + "\\" + instance_name;
      if (ReadRegDword(instance_path + "\\#\\Control\\", kLinkedValue) != 1) {
        continue;
      }
      const WalkOn next = visit(instance_path);
      if (next != WalkOn::kNextInstance) {
        stop = next == WalkOn::kStop;
        break;
      }
    }
    catalogue_.CloseKey(*class_key);
  }

  catalogue_.CloseKey(*catalogue);
}

std::string SEnumValue::FindDevicePath() {
  std::string result;
  WalkActiveInstances([&](const std::string& instance_path) {
    // The first active instance ends this class, whether or not its link reads.
    result = ReadRegString(instance_path + "\\#\\", kSymbolicLinkValue);
    return result.empty() ? WalkOn::kNextClass : WalkOn::kStop;
  });
  return result;
}

std::vector<std::string> SEnumValue::ListDevicePaths() {
  std::vector<std::string> paths;
  WalkActiveInstances([&](const std::string& instance_path) {
    paths.push_back(ReadRegString(instance_path + "\\#\\", kSymbolicLinkValue));
    return WalkOn::kNextInstance;
  });
  return paths;
}

std::uint32_t SEnumValue::ReadRegDword(std::string_view key_path, std::string_view value_name) {
  const std::optional<KeyHandle> key = catalogue_.OpenKey(key_path, kKeyRead);
  if (!key) {
    return 0;
  }
  const std::optional<std::vector<std::uint8_t>> data = catalogue_.QueryValue(*key, value_name);
  catalogue_.CloseKey(*key);
  if (!data || data->size() > kDwordSize) {
    return 0;
  }
  std::uint32_t number = 0;
  for (std::size_t k = 0; k < data->size(); ++k) {
    number |= static_cast<std::uint32_t>((*data)[k]) << (8 * k);
  }
  return number;
}

std::string SEnumValue::ReadRegString(std::string_view key_path, std::string_view value_name) {
  const std::optional<KeyHandle> key = catalogue_.OpenKey(key_path, kKeyRead);
  if (!key) {
    return {};
  }
  const std::optional<std::vector<std::uint8_t>> data = catalogue_.QueryValue(*key, value_name);
  catalogue_.CloseKey(*key);
  return data ? CutAtNul({data->begin(), data->end()}) : std::string();
}

}  // namespace korimo
