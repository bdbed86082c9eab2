// The EventPump port of the windows: every wait of the device link lets Qt's
// event loop process what is pending, once.
#pragma once

#include <QCoreApplication>

#include "device/ports.h"

namespace korimo::ui {

class QtEventPump final : public EventPump {
 public:
  void DoEvents() override { QCoreApplication::processEvents(); }
};

}  // namespace korimo::ui
