#include "device/device_troubles.h"

#include <algorithm>
#include <array>

#include "device/ports.h"

namespace korimo {
namespace {

// Device paths compare ignoring case; so do instance IDs and service names.
bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return SameDevicePath(text.substr(0, start.size()), start);
}

// The generic drivers that driver-replacement tools install in a device's place.
constexpr std::array<std::string_view, 3> kGenericServices = {"WinUSB", "libusb0", "libusbK"};

std::string Text(std::string_view a) {
  return std::string(a);
}

}  // namespace

bool IsEngraverHardwareId(std::string_view id) {
  constexpr std::string_view kEngraverId = "USB\\VID_7E21&PID_0065";
  return StartsWithNoCase(id, kEngraverId) &&
         (id.size() == kEngraverId.size() || id[kEngraverId.size()] == '&');
}

bool InterfaceOfNode(std::string_view path, std::string_view instance) {
  if (instance.empty()) {
    return false;
  }
  // The link spells the instance ID with '#' for '\': "\\?\USB#VID_7E21&PID_0065#5&1A2B#{guid}".
  std::string wanted = Text(instance) + "#";
  std::replace(wanted.begin(), wanted.end(), '\\', '#');
  for (std::size_t at = 0; at + wanted.size() <= path.size(); ++at) {
    const bool starts = at == 0 || path[at - 1] == '\\' || path[at - 1] == '#';
    if (starts && StartsWithNoCase(path.substr(at), wanted)) {
      return true;
    }
  }
  return false;
}

DeviceTrouble Diagnose(const EngraverNode& node) {
  const std::uint32_t problem = node.problem_code.value_or(0);
  if (problem == kProblemUnsignedDriver) {
    return DeviceTrouble::kDriverUnsigned;
  }
  if (std::any_of(kGenericServices.begin(), kGenericServices.end(), [&](std::string_view generic) {
        return SameDevicePath(node.service, generic);
      })) {
    return DeviceTrouble::kGenericDriver;
  }
  if (node.service.empty() && node.driver_description.empty()) {
    return DeviceTrouble::kNoDriver;
  }
  if (problem == kProblemFailedStart || problem == kProblemFailedInstall) {
    return DeviceTrouble::kDriverFailedToStart;
  }
  if (problem != 0) {
    return DeviceTrouble::kDriverProblem;
  }
  return node.has_interface ? DeviceTrouble::kNone : DeviceTrouble::kNoActiveInterface;
}

std::string TroubleSentence(DeviceTrouble trouble, std::string_view where,
                            std::string_view detail) {
  const std::string device = "The engraver's USB device " + Text(where);
  const std::string engraver = "The engraver at " + Text(where);
  switch (trouble) {
    case DeviceTrouble::kNone:
      return {};
    case DeviceTrouble::kNoDriver:
      return device +
             " has no driver: install the engraver's driver from its vendor, then plug the "
             "engraver in again.";
    case DeviceTrouble::kDriverUnsigned:
      return device +
             " has its driver refused by Windows for its signature (Device Manager code 52): "
             "install a signed version of the engraver's driver from its vendor.";
    case DeviceTrouble::kDriverFailedToStart:
      return device + " has a driver that failed to start (Device Manager code " + Text(detail) +
             "): reinstall the engraver's driver, then plug the engraver in again.";
    case DeviceTrouble::kDriverProblem:
      return device + " reports a problem (Device Manager code " + Text(detail) +
             "): reinstall the engraver's driver, then plug the engraver in again.";
    case DeviceTrouble::kGenericDriver:
      return device + " is bound to another program's generic driver " + Text(detail) +
             " in place of the engraver's own: in Device Manager open the device, Driver tab, "
             "\"Roll Back Driver\" (or \"Update Driver\", \"Browse my computer\", \"Let me "
             "pick\" and the engraver's driver), then plug the engraver in again.";
    case DeviceTrouble::kNoActiveInterface:
      return device +
             " has its driver but no active interface: unplug the engraver and plug it in "
             "again.";
    case DeviceTrouble::kNoPermission:
      return engraver + " cannot be opened: no permission; install " + Text(kRuleFileName) +
             " into " + Text(kRuleFolderName) +
             " (packaging/linux/ in the source), then run \"udevadm control --reload && "
             "udevadm trigger\" as root or plug the engraver in again.";
    case DeviceTrouble::kHeldByProcess:
      return engraver + " is in use by another program (its interface 0 is claimed" +
             (detail.empty() ? std::string() : " by " + Text(detail)) +
             "); close that program first.";
    case DeviceTrouble::kKernelDriver:
      return engraver + " is bound to the kernel driver " + Text(detail) +
             ", which could not be let go: unbind it as root (echo the interface's name into "
             "/sys/bus/usb/drivers/" +
             Text(detail) + "/unbind) or keep that driver from loading.";
    case DeviceTrouble::kVanished:
      return engraver + " was unplugged while it was looked at.";
  }
  return {};
}

std::string NodeSentence(const EngraverNode& node) {
  const DeviceTrouble trouble = Diagnose(node);
  std::string detail = node.service;
  if (trouble == DeviceTrouble::kDriverFailedToStart || trouble == DeviceTrouble::kDriverProblem) {
    detail = std::to_string(node.problem_code.value_or(0));
  }
  return TroubleSentence(trouble, node.instance, detail);
}

std::string NodeFacts(const EngraverNode& node) {
  const auto or_none = [](const std::string& text) { return text.empty() ? "(none)" : text; };
  std::string facts = "  instance: " + node.instance + "\n  service: " + or_none(node.service) +
                      "\n  driver: " + or_none(node.driver_description);
  if (!node.driver_provider.empty() || !node.driver_version.empty()) {
    facts +=
        " (" + or_none(node.driver_provider) + ", version " + or_none(node.driver_version) + ")";
  }
  facts += "\n  problem code: " +
           (node.problem_code ? std::to_string(*node.problem_code) : std::string("unknown")) +
           "\n  active interface: " + (node.has_interface ? "yes" : "no") + '\n';
  return facts;
}

}  // namespace korimo
