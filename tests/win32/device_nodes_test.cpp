// The engraver's device nodes through the real SetupAPI: nodes planted in the
// prefix's registry (as regedit imports them), read back and diagnosed, and
// listed by korimo-cli.exe.
#include "win32/device_nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "device/device_troubles.h"
#include "device/hex.h"
#include "registry_scratch.h"
#include "run_program.h"
#include "win32/registry_catalogue.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_7E21&PID_0065";
const std::string kOther = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_7E21&PID_0066";
const std::string kSetupClass = "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}";
const std::string kClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\" + kSetupClass;
const std::string kInterfaces =
    "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

struct Planted {
  std::string name;         // the instance key
  std::string hardware_id;  // its one hardware ID
  std::string service;      // empty: none; a driver key is planted with a service
  int problem;              // -1: no problem code property
  bool linked;              // an active interface in the catalogue
  DeviceTrouble trouble;
};

using enum DeviceTrouble;
const Planted kNodes[] = {
    {"NODRIVER", "USB\\VID_7E21&PID_0065&REV_0100", "", 28, false, kNoDriver},
    {"UNSIGNED", "USB\\VID_7E21&PID_0065&REV_0100", "KorimoUsb", 52, false, kDriverUnsigned},
    {"FAILED", "USB\\VID_7E21&PID_0065&REV_0200", "KorimoUsb", 10, false, kDriverFailedToStart},
    {"GENERIC", "USB\\VID_7E21&PID_0065", "WinUSB", 0, false, kGenericDriver},
    {"NOLINK", "usb\\vid_7e21&pid_0065&rev_0100", "KorimoUsb", 0, false, kNoActiveInterface},
    {"REACHABLE", "USB\\VID_7E21&PID_0065&REV_0100", "KorimoUsb", -1, true, kNone},
};

// One key of a .reg file with its values ("name"=data lines); a backslash in data is doubled.
std::string Key(const std::string& path, const std::vector<std::string>& values) {
  std::string key = "\r\n[HKEY_LOCAL_MACHINE\\" + path + "]\r\n";
  for (const std::string& value : values) {
    key += std::regex_replace(value, std::regex(R"(\\)"), R"(\\)") + "\r\n";
  }
  return key;
}

// A REG_MULTI_SZ of one text: hex(7), the text in UTF-16LE and two terminators.
std::string MultiText(const std::string& text) {
  std::string data = "\"HardwareID\"=hex(7):";
  for (const char c : text + std::string(2, '\0')) {
    data += HexDigits(static_cast<std::uint8_t>(c), false) + ",00,";
  }
  return data.substr(0, data.size() - 1);
}

std::string RegFile() {
  std::string reg = "Windows Registry Editor Version 5.00\r\n" +
                    Key(kOther + "\\OTHER", {"\"ClassGUID\"=\"" + kSetupClass + "\"",
                                             MultiText("USB\\VID_7E21&PID_0066")});
  for (const Planted& node : kNodes) {
    std::vector<std::string> values = {"\"ClassGUID\"=\"" + kSetupClass + "\"",
                                       MultiText(node.hardware_id)};
    if (!node.service.empty()) {
      values.push_back("\"Service\"=\"" + node.service + "\"");
      values.push_back("\"Driver\"=\"" + kSetupClass + "\\" + node.name + "\"");
      reg += Key(kClass + "\\" + node.name,
                 {"\"DriverDesc\"=\"" + node.service + " device\"", "\"ProviderName\"=\"Korimo\"",
                  "\"DriverVersion\"=\"2.1.0.7\""});
    }
    reg += Key(kEnum + "\\" + node.name, values);
    if (node.problem >= 0) {
      reg += Key(
          kEnum + "\\" + node.name + "\\Properties\\{4340A6C5-93FA-4706-972C-7B648008A5A7}\\0003",
          {"@=hex(ffff0007):" + HexDigits(static_cast<std::uint8_t>(node.problem), false) +
           ",00,00,00"});
    }
    if (node.linked) {
      const std::string link = "##?#USB#Vid_7e21&Pid_0065#" + node.name + "#{A5DCBF10}";
      reg += Key(kInterfaces + "\\" + link + "\\#",
                 {"\"SymbolicLink\"=\"\\\\?\\" + link.substr(4) + "\""}) +
             Key(kInterfaces + "\\" + link + "\\#\\Control", {"\"Linked\"=dword:00000001"});
    }
  }
  return reg;
}

TEST(DeviceNodesTest, EachPlantedNodeIsReadDiagnosedAndListed) {
  RegistryScratch scratch;  // removes what regedit plants
  ASSERT_TRUE(scratch.Add(kEnum) && scratch.Add(kOther) && scratch.Add(kClass) &&
              scratch.Add(kInterfaces));
  const std::string file = BesideThisProgram("device_nodes.reg");
  std::string utf16 = "\xFF\xFE";  // UTF-16LE with its byte order mark
  for (const char c : RegFile()) {
    utf16 += {c, '\0'};
  }
  std::ofstream(file, std::ios::binary) << utf16;
  ASSERT_TRUE(RunProgram("regedit /S \"" + file + "\"").has_value());
  DeleteFileA(file.c_str());

  win32::RegistryCatalogue catalogue;
  const std::vector<EngraverNode> nodes = win32::SetupApiNodes(catalogue).ReadNodes();
  ASSERT_EQ(nodes.size(), std::size(kNodes));
  const std::optional<ProgramResult> list =
      RunProgram("\"" + BesideThisProgram("korimo-cli.exe") + "\" list");
  ASSERT_TRUE(list.has_value());
  for (std::size_t i = 0; i < std::size(kNodes); ++i) {
    const Planted& planted = kNodes[i];
    SCOPED_TRACE(planted.name);
    const auto node = std::find_if(nodes.begin(), nodes.end(), [&](const EngraverNode& n) {
      return SameDevicePath(n.instance, "USB\\VID_7E21&PID_0065\\" + planted.name);
    });
    ASSERT_NE(node, nodes.end());
    EXPECT_EQ(node->driver_version, planted.service.empty() ? "" : "2.1.0.7");
    // Wine's CM_Get_DevNode_Status writes nothing: no planted code reads as unknown.
    EXPECT_EQ(node->problem_code,
              planted.problem < 0 ? std::nullopt : std::optional<std::uint32_t>(planted.problem));
    EXPECT_EQ(node->has_interface, planted.linked);
    EXPECT_EQ(Diagnose(*node), planted.trouble);
    // korimo-cli lists each one it cannot reach under its instance ID, with its sentence.
    EXPECT_EQ(list->out.find(node->instance + "  " + NodeSentence(*node)) != std::string::npos,
              planted.trouble != DeviceTrouble::kNone)
        << list->out;
  }
}

}  // namespace
}  // namespace korimo::win32test
