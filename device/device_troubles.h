// Why an engraver that is plugged in cannot be reached: one table of troubles
// for Windows (its USB device node and the driver bound to it) and Linux (its
// device node and the rights to it), each with the one sentence that tells the
// technician what to do. The diagnosis only reads; it never changes the PC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korimo {

enum class DeviceTrouble {
  kNone,
  // Windows: the engraver's USB device node and its driver.
  kNoDriver,             // no service bound, no driver installed
  kDriverUnsigned,       // problem code 52: refused for its signature
  kDriverFailedToStart,  // problem codes 10 and 28
  kDriverProblem,        // any other problem code
  kGenericDriver,        // WinUSB, libusb0 or libusbK bound in the engraver's place
  kNoActiveInterface,    // driver present, no active interface in the catalogue
  // Linux: the engraver's device node.
  kNoPermission,
  kHeldByProcess,
  kKernelDriver,
  kVanished,
};

// What the Windows device manager knows of one device node whose hardware IDs
// name the engraver, as read through SetupAPI.
struct EngraverNode {
  std::string instance;  // "USB\VID_7E21&PID_0065\5&1A2B3C&0&2"
  std::string service;   // the service bound to it; empty when none
  std::string driver_description;
  std::string driver_provider;
  std::string driver_version;
  std::optional<std::uint32_t> problem_code;  // nothing when it could not be read
  bool has_interface = false;  // an active engraver interface of this node is registered

  friend bool operator==(const EngraverNode&, const EngraverNode&) = default;
};

// The device nodes of the engraver, every one the platform knows.
class EngraverNodes {
 public:
  virtual ~EngraverNodes() = default;
  virtual std::vector<EngraverNode> ReadNodes() = 0;
};

// The udev rule that gives the desktop user access to the engraver on Linux,
// and where it goes.
inline constexpr std::string_view kRuleFileName = "60-korimo.rules";
inline constexpr std::string_view kRuleFolderName = "/usr/lib/udev/rules.d";

// Device Manager's problem codes the table tells apart.
inline constexpr std::uint32_t kProblemFailedStart = 10;
inline constexpr std::uint32_t kProblemFailedInstall = 28;
inline constexpr std::uint32_t kProblemUnsignedDriver = 52;

// Whether a hardware ID names the engraver, whatever its revision:
// "USB\VID_7E21&PID_0065" alone or followed by "&REV_0100" and the like.
bool IsEngraverHardwareId(std::string_view id);

// Whether the interface path `path` (a SymbolicLink, "\\?\USB#VID_7E21&PID_0065#...#{...}")
// belongs to the device node `instance`.
bool InterfaceOfNode(std::string_view path, std::string_view instance);

// The trouble of one device node, kNone when it can be reached.
DeviceTrouble Diagnose(const EngraverNode& node);

// The one sentence for `trouble`: `where` names the device (the instance ID,
// or the Linux device node), `detail` what the trouble names (the service, the
// process holding it, the kernel driver, the problem code).
std::string TroubleSentence(DeviceTrouble trouble, std::string_view where,
                            std::string_view detail = {});

// The sentence for a Windows device node, kNone giving the empty text.
std::string NodeSentence(const EngraverNode& node);

// The node's facts, one "  name: value" line each, for a support report.
std::string NodeFacts(const EngraverNode& node);

}  // namespace korimo
