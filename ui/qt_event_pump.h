// The EventPump port of the windows: every wait of the device link lets Qt's
// event loop process what is pending, once.
#pragma once

#include <QCoreApplication>
#include <QThread>

#include "device/ports.h"

namespace korimo::ui {

class QtEventPump final : public EventPump {
 public:
  void DoEvents() override { QCoreApplication::processEvents(); }
  // The events run first; the short wait after them is the engraver's time to
  // recover before it is asked again.
  void Pause(std::chrono::milliseconds pause) override {
    QCoreApplication::processEvents();
    QThread::msleep(static_cast<unsigned long>(pause.count()));
  }
};

}  // namespace korimo::ui
