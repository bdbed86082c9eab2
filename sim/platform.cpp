#include "sim/platform.h"

namespace korimo::sim {

SimPlatform::SimPlatform(PlatformOptions options)
    : own_clock_(std::make_unique<SteadyClock>()),
      clock_(*own_clock_),
      board_(clock_, options.timings),
      files_(clock_) {
  engraver_ = FillDeviceClasses(catalogue_, options.catalogue);
  options.plugged ? Plug() : Unplug();
}

SimPlatform::SimPlatform(Clock& clock, PlatformOptions options)
    : clock_(clock), board_(clock_, options.timings), files_(clock_) {
  engraver_ = FillDeviceClasses(catalogue_, options.catalogue);
  options.plugged ? Plug() : Unplug();
}

void SimPlatform::Plug() {
  SetLinked(catalogue_, engraver_.instance_key, true);
  files_.Attach(board_, engraver_.device_path);
  plugged_ = true;
}

void SimPlatform::Unplug() {
  SetLinked(catalogue_, engraver_.instance_key, false);
  files_.Detach();
  plugged_ = false;
}

}  // namespace korimo::sim
