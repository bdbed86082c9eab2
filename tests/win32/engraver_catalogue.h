// Registers engraver interfaces in the registry's device-interface catalogue
// (HKLM\SYSTEM\CurrentControlSet\Control\DeviceClasses) with the traps the
// search must pass, in the order the registry lists them (sorted, ignoring
// case):
//   class {0a...}: the engraver's name in capitals (VID_7E21&PID_0065), active,
//                  and a mouse;
//   class {2b...}: an inactive engraver registration (Linked 0) and a keyboard;
//   class {6c...}: an active engraver instance without SymbolicLink, then an
//                  active one with a link that the search never reaches;
//   class {9d...}: a device with the next product id, then the live engraver
//                  whose SymbolicLink is the pipe board's path;
//   class {f0...}: a second active engraver, after the live one.
#pragma once

#include <string>
#include <vector>

#include "registry_scratch.h"

namespace korimo::win32test {

struct EngraverCatalogue {
  std::string live_instance;    // full key path of the live engraver's instance
  std::string second_instance;  // the active engraver in the last class
  std::string second_path;      // its SymbolicLink
  std::vector<std::string> classes;
};

// Writes the catalogue; false when a key or value could not be written.
bool RegisterEngravers(RegistryScratch& scratch, const std::string& device_path,
                       EngraverCatalogue& catalogue);

}  // namespace korimo::win32test
