#include "win32/device_nodes.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "device/registry_finder.h"
#include "win32/windows_api.h"
// clang-format off
#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>
// clang-format on

namespace korimo::win32 {
namespace {

// DEVPKEY_Device_ProblemCode, spelled out so that no GUID has to be instantiated.
constexpr DEVPROPKEY kProblemCodeKey{
    {0x4340a6c5, 0x93fa, 0x4706, {0x97, 0x2c, 0x7b, 0x64, 0x80, 0x08, 0xa5, 0xa7}}, 3};

// Texts in the device manager are short; anything beyond this is not read.
constexpr DWORD kLongestText = 32 * 1024;

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0 || length > kLongestText) {
    return {};
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return {};
  }
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr,
                      nullptr);
  return narrow;
}

// The wide strings of a REG_SZ or REG_MULTI_SZ buffer of `bytes` bytes,
// whether or not the platform terminated it.
std::vector<std::string> Strings(const std::vector<BYTE>& buffer, DWORD bytes) {
  std::vector<std::string> strings;
  const std::size_t count = std::min<std::size_t>(bytes, buffer.size()) / sizeof(wchar_t);
  std::wstring all(count, L'\0');
  std::copy_n(buffer.data(), count * sizeof(wchar_t), reinterpret_cast<BYTE*>(all.data()));
  std::wistringstream split(all);
  for (std::wstring one; std::getline(split, one, L'\0') && !one.empty();) {
    strings.push_back(Narrow(one.data(), one.size()));
  }
  return strings;
}

std::vector<std::string> DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD needed = 0;
  SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, nullptr, 0, &needed);
  if (needed == 0 || needed > kLongestText) {
    return {};
  }
  std::vector<BYTE> buffer(needed);
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, buffer.data(), needed,
                                         &needed) ||
      (type != REG_SZ && type != REG_MULTI_SZ)) {
    return {};
  }
  return Strings(buffer, needed);
}

std::string DriverValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_SZ || bytes == 0 || bytes > kLongestText) {
    return {};
  }
  std::vector<BYTE> buffer(bytes);
  if (RegQueryValueExW(key, name, nullptr, &type, buffer.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  const std::vector<std::string> strings = Strings(buffer, bytes);
  return strings.empty() ? std::string() : strings.front();
}

std::optional<std::uint32_t> ProblemCode(HDEVINFO set, SP_DEVINFO_DATA& device) {
  DEVPROPTYPE type = 0;
  std::uint32_t code = 0;
  if (SetupDiGetDevicePropertyW(set, &device, &kProblemCodeKey, &type,
                                reinterpret_cast<BYTE*>(&code), sizeof code, nullptr, 0) &&
      type == DEVPROP_TYPE_UINT32) {
    return code;
  }
  // Older systems: the node's status. The outputs start at values it never
  // returns, so a call that wrote nothing reads as unknown.
  constexpr ULONG kUntouched = 0xFFFFFFFFu;
  ULONG status = kUntouched;
  ULONG problem = kUntouched;
  if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS &&
      status != kUntouched && problem != kUntouched) {
    return (status & DN_HAS_PROBLEM) != 0 ? problem : 0;
  }
  return std::nullopt;
}

}  // namespace

std::vector<EngraverNode> SetupApiNodes::ReadNodes() {
  std::vector<EngraverNode> nodes;
  HDEVINFO set = SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) {
    return nodes;
  }
  std::vector<FoundEngraver> interfaces = RegistryFinder(catalogue_).ListEngravers();
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    const std::vector<std::string> ids = DeviceProperty(set, device, SPDRP_HARDWAREID);
    if (std::none_of(ids.begin(), ids.end(), IsEngraverHardwareId)) {
      continue;
    }
    EngraverNode node;
    wchar_t instance[MAX_DEVICE_ID_LEN + 1] = {};
    if (SetupDiGetDeviceInstanceIdW(set, &device, instance, MAX_DEVICE_ID_LEN, nullptr)) {
      node.instance = Narrow(instance, wcsnlen(instance, MAX_DEVICE_ID_LEN));
    }
    const std::vector<std::string> service = DeviceProperty(set, device, SPDRP_SERVICE);
    node.service = service.empty() ? std::string() : service.front();
    if (HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        key != INVALID_HANDLE_VALUE && key != nullptr) {
      node.driver_description = DriverValue(key, L"DriverDesc");
      node.driver_provider = DriverValue(key, L"ProviderName");
      node.driver_version = DriverValue(key, L"DriverVersion");
      RegCloseKey(key);
    }
    node.problem_code = ProblemCode(set, device);
    node.has_interface = std::any_of(interfaces.begin(), interfaces.end(), [&](const auto& found) {
      return InterfaceOfNode(found.path, node.instance);
    });
    nodes.push_back(std::move(node));
  }
  SetupDiDestroyDeviceInfoList(set);
  return nodes;
}

}  // namespace korimo::win32
