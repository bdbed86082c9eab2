// Fills a catalogue with a device-interface catalogue as a Windows PC holds it:
// interface classes named by GUID under
// SYSTEM\CurrentControlSet\Control\DeviceClasses, several interface instances
// in each, and the engraver's interface among them.
//
// Every instance key "##?#<bus>#<hardware id>#<instance id>#{class}" has the
// value "DeviceInstance", a subkey "#" with "SymbolicLink" ("\\?\" in place of
// "##?#") and a subkey "#\Control" with "Linked" (1 for an active interface).
// The layout and names are generated from a seed, so they are the same on
// every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/memory_catalogue.h"

namespace korimo::sim {

// The interface class the engraver registers under (USB devices).
inline constexpr std::string_view kEngraverClass = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr std::string_view kEngraverInstanceId = "6&1c3f4e2&0&1";

struct CatalogueShape {
  std::size_t classes = 200;  // the engraver's class included
  // Instances of other devices in each class, varying between these two.
  std::size_t min_instances = 1;
  std::size_t max_instances = 4;
  // Where the engraver's class stands among the classes (0 = first); beyond
  // the last class it is the last one.
  std::size_t engraver_class = 180;
  // An inactive registration of the engraver on another USB port (Linked 0),
  // listed before the live one, as Windows keeps it.
  bool stale_registration = true;
  // An active interface of the same vendor and product written in capitals,
  // in an earlier class: discovery compares case-sensitively and must pass it.
  bool case_decoy = true;
  std::uint32_t seed = 20240611;
};

struct EngraverEntry {
  std::string class_key;     // the engraver's class key, full path
  std::string instance_key;  // its live instance key, full path
  std::string device_path;   // the SymbolicLink of that instance
};

// Adds the catalogue to `catalogue` (the engraver's interface active) and
// tells where the engraver's entry is.
EngraverEntry FillDeviceClasses(MemoryCatalogue& catalogue, const CatalogueShape& shape);

// Adds one more engraver interface, active, at the end of the engraver's class
// `class_key` (as a second board on another port registers), and tells where.
EngraverEntry AddEngraverEntry(MemoryCatalogue& catalogue, const std::string& class_key,
                               std::string_view instance_id);

// The "Linked" flag of an instance key: 1 active, 0 registered but not present.
void SetLinked(MemoryCatalogue& catalogue, std::string_view instance_key, bool linked);

}  // namespace korimo::sim
