#include "ui/window_timer.h"

#include <QTimer>

namespace korimo::ui {
namespace {

class QtWindowTimer final : public WindowTimer {
 public:
  QtWindowTimer(QObject& owner, const QString& name, int interval_ms, bool precise)
      : WindowTimer(&owner), timer_(new QTimer(this)) {
    setObjectName(name);
    timer_->setInterval(interval_ms);
    timer_->setTimerType(precise ? Qt::PreciseTimer : Qt::CoarseTimer);
    connect(timer_, &QTimer::timeout, this, &WindowTimer::timeout);
  }

  void start() override { timer_->start(); }
  void stop() override { timer_->stop(); }
  bool isActive() const override { return timer_->isActive(); }
  int interval() const override { return timer_->interval(); }

 private:
  QTimer* timer_;
};

class QtTimerPort final : public TimerPort {
 public:
  WindowTimer* MakeTimer(QObject& owner, const QString& name, int interval_ms,
                         bool precise) override {
    return new QtWindowTimer(owner, name, interval_ms, precise);
  }
};

}  // namespace

TimerPort& QtTimers() {
  static QtTimerPort port;
  return port;
}

}  // namespace korimo::ui
