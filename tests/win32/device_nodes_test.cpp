// The engraver's device nodes through the real SetupAPI: nodes planted in the
// prefix's registry (as regedit imports them), read back and diagnosed, and
// listed by korimo-cli.exe.
#include "win32/device_nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "device/device_troubles.h"
#include "registry_scratch.h"
#include "run_program.h"
#include "win32/registry_catalogue.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

constexpr char kEnum[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_7E21&PID_0065";
constexpr char kClass[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{88BAE032-5A81-49F0-BC3D-A4FF138216D6}";
constexpr char kInterfaceClass[] = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";
constexpr char kCatalogue[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";

struct PlantedNode {
  const char* name;         // the instance key
  const char* hardware_id;  // the first of its hardware IDs
  const char* service;      // empty: none
  int driver;               // the Control\Class subkey, -1: none
  int problem;              // -1: no problem code property
  bool linked;              // an active interface in the catalogue
  DeviceTrouble trouble;
  const char* named;  // what its sentence must name
};

const PlantedNode kNodes[] = {
    {"NODRIVER", "USB\\VID_7E21&PID_0065&REV_0100", "", -1, 28, false, DeviceTrouble::kNoDriver,
     "has no driver"},
    {"UNSIGNED", "USB\\VID_7E21&PID_0065&REV_0100", "KorimoUsb", 1, 52, false,
     DeviceTrouble::kDriverUnsigned, "code 52"},
    {"FAILED", "USB\\VID_7E21&PID_0065&REV_0200", "KorimoUsb", 2, 10, false,
     DeviceTrouble::kDriverFailedToStart, "code 10"},
    {"GENERIC", "USB\\VID_7E21&PID_0065", "WinUSB", 3, 0, false, DeviceTrouble::kGenericDriver,
     "generic driver WinUSB"},
    {"NOLINK", "usb\\vid_7e21&pid_0065&rev_0100", "KorimoUsb", 4, 0, false,
     DeviceTrouble::kNoActiveInterface, "no active interface"},
    {"REACHABLE", "USB\\VID_7E21&PID_0065&REV_0100", "KorimoUsb", 5, -1, true, DeviceTrouble::kNone,
     ""},
};

std::string RegKey(const std::string& path) {
  return "\r\n[HKEY_LOCAL_MACHINE\\" + path + "]\r\n";
}

// A REG_SZ line; the texts here hold no quote or backslash but the ones escaped.
std::string RegText(const std::string& name, const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  }
  return "\"" + name + "\"=\"" + escaped + "\"\r\n";
}

// hex(7): the text as UTF-16LE, then two terminators.
std::string RegMultiText(const std::string& name, const std::string& text) {
  std::string line = "\"" + name + "\"=hex(7):";
  char byte[8];
  for (const char c : text + std::string(2, '\0')) {
    std::snprintf(byte, sizeof byte, "%02x,00,", static_cast<unsigned char>(c));
    line += byte;
  }
  line.pop_back();
  return line + "\r\n";
}

std::string RegFile() {
  std::string reg = "Windows Registry Editor Version 5.00\r\n";
  for (const PlantedNode& node : kNodes) {
    const std::string key = std::string(kEnum) + "\\" + node.name;
    reg += RegKey(key) + RegText("ClassGUID", "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}") +
           RegMultiText("HardwareID", node.hardware_id) + "\"ConfigFlags\"=dword:00000000\r\n";
    if (*node.service != '\0') {
      reg += RegText("Service", node.service);
    }
    if (node.driver >= 0) {
      const std::string driver =
          "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}\\000" + std::to_string(node.driver);
      reg += RegText("Driver", driver) +
             RegKey(std::string(kClass) + "\\000" + std::to_string(node.driver)) +
             RegText("DriverDesc", std::string(node.service) + " device") +
             RegText("ProviderName", "Korimo") + RegText("DriverVersion", "2.1.0.7");
    }
    if (node.problem >= 0) {
      char problem[64];
      std::snprintf(problem, sizeof problem, "@=hex(ffff0007):%02x,00,00,00\r\n", node.problem);
      reg += RegKey(key + "\\Properties\\{4340A6C5-93FA-4706-972C-7B648008A5A7}\\0003") + problem;
    }
    if (node.linked) {
      const std::string link =
          std::string("##?#USB#Vid_7e21&Pid_0065#") + node.name + "#" + kInterfaceClass;
      const std::string at = kCatalogue + std::string(kInterfaceClass) + "\\" + link;
      reg += RegKey(at + "\\#") + RegText("SymbolicLink", "\\\\?\\" + link.substr(4)) +
             RegKey(at + "\\#\\Control") + "\"Linked\"=dword:00000001\r\n";
    }
  }
  // A node of another product is no engraver.
  reg += RegKey(std::string(kEnum).replace(std::string(kEnum).size() - 4, 4, "0066") + "\\OTHER") +
         RegText("ClassGUID", "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}") +
         RegMultiText("HardwareID", "USB\\VID_7E21&PID_0066&REV_0100");
  return reg;
}

TEST(DeviceNodesTest, EachPlantedNodeIsReadAndDiagnosed) {
  RegistryScratch scratch;  // removes what regedit planted
  for (const std::string& key :
       {std::string(kEnum), std::string(kEnum).replace(std::string(kEnum).size() - 4, 4, "0066"),
        std::string(kClass), std::string(kCatalogue) + kInterfaceClass}) {
    ASSERT_TRUE(scratch.Add(key));
  }
  const std::string file = BesideThisProgram("device_nodes.reg");
  {
    // regedit wants UTF-16 with a byte order mark for hex(7) and typed values.
    std::ofstream out(file, std::ios::binary);
    out << "\xFF\xFE";
    for (const char c : RegFile()) {
      out << c << '\0';
    }
  }
  const std::optional<ProgramResult> imported = RunProgram("regedit /S \"" + file + "\"");
  ASSERT_TRUE(imported.has_value());

  win32::RegistryCatalogue catalogue;
  win32::SetupApiNodes reader(catalogue);
  const std::vector<EngraverNode> nodes = reader.ReadNodes();
  ASSERT_EQ(nodes.size(), std::size(kNodes));
  for (const PlantedNode& planted : kNodes) {
    SCOPED_TRACE(planted.name);
    const auto node = std::find_if(nodes.begin(), nodes.end(), [&](const EngraverNode& n) {
      return SameDevicePath(n.instance, std::string(kEnum).substr(30) + "\\" + planted.name);
    });
    ASSERT_NE(node, nodes.end());
    EXPECT_EQ(node->service, planted.service);
    EXPECT_EQ(node->driver_description,
              planted.driver < 0 ? "" : std::string(planted.service) + " device");
    EXPECT_EQ(node->driver_version, planted.driver < 0 ? "" : "2.1.0.7");
    // Wine's CM_Get_DevNode_Status writes nothing: no planted code reads as unknown.
    EXPECT_EQ(node->problem_code,
              planted.problem < 0 ? std::nullopt : std::optional<std::uint32_t>(planted.problem));
    EXPECT_EQ(node->has_interface, planted.linked);
    EXPECT_EQ(Diagnose(*node), planted.trouble);
    EXPECT_NE(NodeSentence(*node).find(planted.named), std::string::npos) << NodeSentence(*node);
  }

  // korimo-cli lists each one that cannot be reached under its instance ID, with its sentence.
  const std::optional<ProgramResult> list =
      RunProgram("\"" + BesideThisProgram("korimo-cli.exe") + "\" list");
  ASSERT_TRUE(list.has_value());
  for (const EngraverNode& node : nodes) {
    if (Diagnose(node) != DeviceTrouble::kNone) {
      EXPECT_NE(list->out.find(node.instance + "  " + NodeSentence(node)), std::string::npos)
          << list->out;
    }
  }
  DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace korimo::win32test
