// Window timers that tick only when a test says so: the tests own time, and a
// busy machine cannot slip a tick in between two steps of a test.
#pragma once

#include <QPointer>
#include <QString>
#include <vector>

#include "ui/window_timer.h"

namespace korimo::test {

class ManualTimer final : public ui::WindowTimer {
 public:
  ManualTimer(QObject& owner, int interval_ms) : WindowTimer(&owner), interval_(interval_ms) {}

  void start() override { active_ = true; }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }
  int interval() const override { return interval_; }

  // One tick, as the event loop would deliver it: only while started.
  void Fire() {
    if (active_) {
      emit timeout();
    }
  }

 private:
  int interval_;
  bool active_ = false;
};

class ManualTimers final : public ui::TimerPort {
 public:
  ui::WindowTimer* MakeTimer(QObject& owner, const QString& name, int interval_ms,
                             bool /*precise*/) override {
    auto* timer = new ManualTimer(owner, interval_ms);
    timer->setObjectName(name);
    made_.emplace_back(timer);
    return timer;
  }

  // Fires every living timer named `name` once; returns how many were running.
  int Fire(const QString& name) {
    int running = 0;
    // A tick may make windows, and so timers: index, never iterate.
    for (std::size_t i = 0; i < made_.size(); ++i) {
      const QPointer<ManualTimer> timer = made_[i];
      if (timer != nullptr && timer->objectName() == name && timer->isActive()) {
        ++running;
        timer->Fire();
      }
    }
    return running;
  }

 private:
  std::vector<QPointer<ManualTimer>> made_;
};

}  // namespace korimo::test
