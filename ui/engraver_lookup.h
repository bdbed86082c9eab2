// A window that is about to ask the engraver, when the last status tick of any
// window found none (the registry walk failed for a moment while the engraver
// stayed plugged in, say), looks for it first: an engraver that is there but
// was not looked for is never reported as silent.
#pragma once

#include "device/modKT90.h"

namespace korimo::ui {

// Whether there is an engraver to ask: the device path as last found, or, when
// that is empty, as found now.
inline bool LookForEngraver(modKT90& kt90) {
  return !kt90.DevicePath().empty() || kt90.IsDeviceConnected();
}

}  // namespace korimo::ui
