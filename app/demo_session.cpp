#include "app/demo_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/service_windows.h"
#include "app/simulator_panel.h"
#include "mainwin/main_window.h"
#include "sim/platform.h"

namespace korimo::app {
namespace {

// Two status ticks and then some.
constexpr int kTicks = 2 * s::kStatusInterval + 100;

template <typename T>
T& Control(QWidget& window, const char* name) {
  return *window.findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

void RunEventsFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

QStringList RunScriptedSession(const DemoParts& parts, const QString& directory) {
  QDir().mkpath(directory);
  QStringList shots;
  // A PNG of `widget` as it stands once the pending events ran, named `name`.
  const auto shoot = [&shots, &directory](QWidget& widget, const char* name) {
    QCoreApplication::processEvents();
    const QString path = QDir(directory).absoluteFilePath(QString::fromLatin1(name));
    if (widget.grab().save(path, "PNG")) {
      shots << path;
    }
  };
  s& window = parts.window;

  if (!parts.platform.Plugged()) {
    parts.platform.Plug();
  }
  RunEventsFor(kTicks);  // the lamp turns green
  shoot(window, "01-started.png");

  Control<QPushButton>(window, "cmdRead").click();
  RunEventsFor(100);
  shoot(window, "02-read.png");

  Control<QListWidget>(window, "lstModel").setCurrentRow(1);  // "Korimo KX3"
  RunEventsFor(100);
  shoot(window, "03-model-kx3.png");

  Control<QPushButton>(window, "cmdWrite").click();  // returns when the Set has ended
  RunEventsFor(s::kStatusInterval + 100);
  shoot(window, "04-after-set.png");
  shoot(parts.panel, "05-simulator-panel.png");

  parts.platform.Unplug();
  RunEventsFor(kTicks);
  shoot(window, "06-searching.png");

  parts.platform.Plug();
  RunEventsFor(kTicks);  // arrival: the automatic Read
  shoot(window, "07-arrival.png");

  parts.service.jog.Open();
  RunEventsFor(200);  // a few readout ticks
  shoot(*parts.service.jog.Window(), "08-jog.png");

  parts.platform.GetBoard().SetInputs(inputs::kPowerKey | inputs::kTable1);
  parts.service.io.Open();
  RunEventsFor(kTicks);
  shoot(*parts.service.io.Window(), "09-io.png");
  parts.platform.GetBoard().SetInputs(0);

  // The editor is modal: it is photographed from inside its own event loop,
  // once its rows are read, and then closed.
  QTimer::singleShot(300, [&parts, &shoot] {
    if (QWidget* editor = parts.service.editor.Window()) {
      shoot(*editor, "10-memory-editor.png");
      Control<QPushButton>(*editor, "cmdClose").click();
    }
  });
  parts.service.editor.Open();
  return shots;
}

}  // namespace korimo::app
