// korimo: the configuration tool on the machine it runs on.
#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_icon.h"
#include "app/service_windows.h"
#include "mainwin/main_window.h"
#include "device/modKT90.h"
#include "korimo/version.h"
#include "platform/platform.h"
#include "ui/lamp.h"
#include "ui/qt_event_pump.h"
#include "ui/qt_prompts.h"

int main(int argc, char** argv) {
  // Answered before any window exists, so it works without a display too.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("korimo %s\n", korimo::kVersion);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korimo"));
  QApplication::setWindowIcon(korimo::app::KorimoIcon());

  const korimo::platform::Ports ports = korimo::platform::Real();
  korimo::ui::QtEventPump pump;
  korimo::ui::QtPrompts prompts;
  korimo::modKT90 kt90(*ports.finder, *ports.files, pump);
  korimo::s window(kt90, prompts);
  korimo::app::ServiceWindows service(window, kt90, prompts);
  // An engraver that is there but cannot be used (no right to open it, say):
  // the status row's tooltip says why, and so does stderr, once per change.
  QObject::connect(&window, &korimo::s::DeviceTroubleChanged, [](const QString& trouble) {
    if (!trouble.isEmpty()) {
      std::fprintf(stderr, "korimo: %s\n", trouble.toLocal8Bit().constData());
    }
  });

  if (!ports.reachable) {
    const std::string note =
        "This korimo was built without a way to reach USB devices; it stays \"Searching...\". "
        "Try korimo-demo for the simulated engraver.";
    std::fprintf(stderr, "korimo: %s\n", note.c_str());
    // The status row carries the note too: hover over the lamp or "Searching...".
    const QString tip = QString::fromStdString(note);
    window.findChild<QLabel*>(QStringLiteral("lblStatus"))->setToolTip(tip);
    window.findChild<korimo::ui::Lamp*>(QStringLiteral("shpConnected"))->setToolTip(tip);
  }

  window.show();
  return QApplication::exec();
}
