#include "engraver_catalogue.h"

#include <optional>

#include "device/SEnumValue.h"

namespace korimo::win32test {
namespace {

struct InstanceEntry {
  std::string hardware;  // "USB#Vid_7e21&Pid_0065#6&2a&0&1"
  bool linked;
  std::optional<std::string> link;
};

struct ClassEntry {
  std::string guid;
  std::vector<InstanceEntry> instances;
};

}  // namespace

bool RegisterEngravers(RegistryScratch& scratch, const std::string& device_path,
                       EngraverCatalogue& catalogue) {
  const std::string second_path = "\\\\.\\pipe\\korimo-second-engraver";
  const std::vector<ClassEntry> classes{
      {"{0a7e2100-0000-4000-8000-000000000001}",
       {{"USB#VID_7E21&PID_0065#5&caps&0&1", true, "\\\\.\\pipe\\korimo-capitals"},
        {"HID#Vid_046d&Pid_c52b#7&mouse&0&0000", true, "\\\\?\\hid#mouse"}}},
      {"{2b7e2100-0000-4000-8000-000000000002}",
       {{"HID#Vid_045e&Pid_0750#7&keyboard&0&0000", true, "\\\\?\\hid#keyboard"},
        {"USB#Vid_7e21&Pid_0065#5&stale&0&2", false, "\\\\.\\pipe\\korimo-stale"}}},
      {"{6c7e2100-0000-4000-8000-000000000003}",
       {{"USB#Vid_7e21&Pid_0065#6&nolink&0&1", true, std::nullopt},
        {"USB#Vid_7e21&Pid_0065#7&unreached&0&1", true, "\\\\.\\pipe\\korimo-unreached"}}},
      {"{9d7e2100-0000-4000-8000-000000000004}",
       {{"USB#Vid_7e21&Pid_0066#8&sibling&0&1", true, "\\\\.\\pipe\\korimo-sibling"},
        {"USB#Vid_7e21&Pid_0065#8&live&0&1", true, device_path}}},
      {"{f07e2100-0000-4000-8000-000000000005}",
       {{"USB#Vid_7e21&Pid_0065#9&second&0&1", true, second_path}}},
  };

  catalogue = EngraverCatalogue{};
  catalogue.second_path = second_path;
  for (const ClassEntry& entry : classes) {
    const std::string class_key = std::string(kDeviceClassesKey) + "\\" + entry.guid;
    if (!scratch.Add(class_key)) {
      return false;
    }
    catalogue.classes.push_back(class_key);
    for (const InstanceEntry& instance : entry.instances) {
      const std::string key = class_key + "\\##?#" + instance.hardware + "#" + entry.guid;
      bool ok = scratch.SetString(key, "DeviceInstance", instance.hardware) &&
                scratch.SetDword(key + "\\#\\Control", "Linked", instance.linked ? 1 : 0);
      if (instance.link) {
        ok = ok && scratch.SetString(key + "\\#", "SymbolicLink", *instance.link);
      }
      if (!ok) {
        return false;
      }
      if (instance.link == device_path) {
        catalogue.live_instance = key;
      } else if (instance.link == second_path) {
        catalogue.second_instance = key;
      }
    }
  }
  return true;
}

}  // namespace korimo::win32test
