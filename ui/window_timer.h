// The windows' periodic timers, behind a port: the tool makes Qt timers, a
// test makes timers that tick only when it says so. A window names each timer
// as its control (objectName), so tests and tools find it by that name.
#pragma once

#include <QObject>
#include <QString>

namespace korimo::ui {

class WindowTimer : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  virtual int interval() const = 0;  // ms

 signals:
  void timeout();
};

class TimerPort {
 public:
  virtual ~TimerPort() = default;

  // A stopped timer, owned by `owner`, named `name`, ticking every
  // `interval_ms` once started. `precise` asks for millisecond accuracy.
  virtual WindowTimer* MakeTimer(QObject& owner, const QString& name, int interval_ms,
                                 bool precise) = 0;
};

// The tool's timers: QTimer.
TimerPort& QtTimers();

}  // namespace korimo::ui
