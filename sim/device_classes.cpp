#include "sim/device_classes.h"

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "device/SEnumValue.h"

namespace korimo::sim {
namespace {

// Interface classes that every Windows PC lists; the rest are made up.
constexpr std::array<std::string_view, 14> kKnownClasses{
    "{4d1e55b2-f16f-11cf-88cb-001111000030}",  // HID
    "{884b96c3-56ef-11d1-bc8c-00a0c91405dd}",  // keyboard
    "{378de44c-56ef-11d1-bc8c-00a0c91405dd}",  // mouse
    "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",  // disk
    "{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}",  // volume
    "{f18a0e88-c30c-11d0-8815-00a0c906bed8}",  // USB hub
    "{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",  // USB host controller
    "{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}",  // monitor
    "{cac88484-7515-4c03-82e6-71a87abac361}",  // network
    "{86e0d1e0-8089-11d0-9ce4-08003e301f73}",  // COM port
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}",  // capture
    "{6994ad04-93ef-11d0-a3cc-00a0c9223196}",  // audio
    "{e6327cad-dcec-4949-ae8a-991e976a79d2}",  // audio device
    "{1ca05180-a699-450a-9a0c-de4fbe3ddd89}",  // display
};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : engine_(seed == 0 ? 1 : seed) {}

  std::uint32_t Below(std::uint32_t bound) {
    return bound == 0 ? 0 : static_cast<std::uint32_t>(engine_() % bound);
  }

  std::string Hex(std::size_t digits, bool upper) {
    std::string text;
    for (std::size_t k = 0; k < digits; ++k) {
      text += (upper ? "0123456789ABCDEF" : "0123456789abcdef")[Below(16)];
    }
    return text;
  }

  std::string Guid() {
    return "{" + Hex(8, false) + "-" + Hex(4, false) + "-" + Hex(4, false) + "-" + Hex(4, false) +
           "-" + Hex(12, false) + "}";
  }

 private:
  std::minstd_rand engine_;  // fully specified, so the same everywhere
};

struct Instance {
  std::string bus;
  std::string hardware_id;
  std::string instance_id;
};

// One device of another kind; `serial` keeps the names of a class apart.
Instance OtherDevice(Generator& gen, std::size_t serial) {
  const std::string tail = std::to_string(serial);
  switch (gen.Below(6)) {
    case 0:
      return {"USB", "VID_" + gen.Hex(4, true) + "&PID_" + gen.Hex(4, true),
              "5&" + gen.Hex(7, false) + "&0&" + tail};
    case 1:
      return {"HID", "VID_" + gen.Hex(4, true) + "&PID_" + gen.Hex(4, true) + "&MI_0" + tail,
              "7&" + gen.Hex(8, false) + "&0&000" + tail};
    case 2:
      return {"PCI",
              "VEN_" + gen.Hex(4, true) + "&DEV_" + gen.Hex(4, true) + "&SUBSYS_" +
                  gen.Hex(8, true) + "&REV_" + gen.Hex(2, true),
              "3&" + gen.Hex(8, false) + "&0&" + gen.Hex(2, true) + tail};
    case 3:
      return {"ACPI", "PNP0" + gen.Hex(3, true), "4&" + gen.Hex(8, false) + "&" + tail};
    case 4:
      return {"SWD", "MMDEVAPI", "{0.0.1.00000000}." + gen.Guid() + "." + tail};
    default:
      return {"ROOT", "SYSTEM", "000" + tail};
  }
}

// Adds one instance key with its values and tells where it is.
EngraverEntry AddInstance(MemoryCatalogue& catalogue, const std::string& class_key,
                          const Instance& device, std::string_view class_guid, bool linked) {
  const std::string name = "##?#" + device.bus + "#" + device.hardware_id + "#" +
                           device.instance_id + "#" + std::string(class_guid);
  const std::string key = class_key + "\\" + name;
  const std::string link = "\\\\?\\" + name.substr(4);
  catalogue.SetString(key, "DeviceInstance",
                      device.bus + "\\" + device.hardware_id + "\\" + device.instance_id);
  catalogue.SetString(key + "\\#", "SymbolicLink", link);
  SetLinked(catalogue, key, linked);
  return {class_key, key, link};
}

}  // namespace

EngraverEntry AddEngraverEntry(MemoryCatalogue& catalogue, const std::string& class_key,
                               std::string_view instance_id) {
  return AddInstance(catalogue, class_key, {"USB", "Vid_7e21&Pid_0065", std::string(instance_id)},
                     class_key.substr(class_key.rfind('\\') + 1), true);
}

void SetLinked(MemoryCatalogue& catalogue, std::string_view instance_key, bool linked) {
  catalogue.SetDword(std::string(instance_key) + "\\#\\Control", "Linked", linked ? 1 : 0);
}

EngraverEntry FillDeviceClasses(MemoryCatalogue& catalogue, const CatalogueShape& shape) {
  Generator gen(shape.seed);
  const std::size_t classes = std::max<std::size_t>(shape.classes, 1);
  const std::size_t engraver_at = std::min(shape.engraver_class, classes - 1);
  const std::size_t low = std::min(shape.min_instances, shape.max_instances);
  const std::size_t high = std::max(shape.min_instances, shape.max_instances);
  const std::string root(kDeviceClassesKey);
  catalogue.AddKey(root);

  EngraverEntry entry;
  std::size_t known = 0;
  for (std::size_t i = 0; i < classes; ++i) {
    const bool engraver_class = i == engraver_at;
    const std::string guid = engraver_class                 ? std::string(kEngraverClass)
                             : known < kKnownClasses.size() ? std::string(kKnownClasses[known++])
                                                            : gen.Guid();
    const std::string class_key = root + "\\" + guid;
    catalogue.AddKey(class_key);

    const std::size_t count = low + gen.Below(static_cast<std::uint32_t>(high - low + 1));
    for (std::size_t j = 0; j < count; ++j) {
      AddInstance(catalogue, class_key, OtherDevice(gen, j), guid, gen.Below(5) != 0);
    }
    if (shape.case_decoy && engraver_at > 0 && i == engraver_at / 2) {
      AddInstance(catalogue, class_key, {"USB", "VID_7E21&PID_0065", "7&2b4e5f1&0&2"}, guid, true);
    }
    if (engraver_class) {
      if (shape.stale_registration) {
        AddInstance(catalogue, class_key, {"USB", "Vid_7e21&Pid_0065", "6&1c3f4e2&0&3"}, guid,
                    false);
      }
      entry = AddEngraverEntry(catalogue, class_key, kEngraverInstanceId);
    }
  }
  return entry;
}

}  // namespace korimo::sim
