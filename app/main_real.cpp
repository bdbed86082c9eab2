// korimo: the configuration tool on the machine it runs on.
#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <string>

#include "app/app_icon.h"
#include "app/real_platform.h"
#include "app/service_windows.h"
#include "config/main_window.h"
#include "device/modKT90.h"
#include "ui/lamp.h"
#include "ui/qt_event_pump.h"
#include "ui/qt_prompts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korimo"));
  QApplication::setApplicationDisplayName(QStringLiteral("Korimo Configuration"));
  QApplication::setWindowIcon(korimo::app::KorimoIcon());

  korimo::app::RealPlatform platform = korimo::app::MakeRealPlatform();
  korimo::ui::QtEventPump pump;
  korimo::ui::QtPrompts prompts;
  korimo::modKT90 kt90(*platform.catalogue, *platform.files, pump);
  korimo::s window(kt90, prompts);
  korimo::app::ServiceWindows service(window, kt90, prompts);

  if (!platform.limitation.empty()) {
    const std::string note(platform.limitation);
    std::fprintf(stderr, "korimo: %s\n", note.c_str());
    // The status row carries the note too: hover over the lamp or "Searching...".
    const QString tip = QString::fromStdString(note);
    window.findChild<QLabel*>(QStringLiteral("lblStatus"))->setToolTip(tip);
    window.findChild<korimo::ui::Lamp*>(QStringLiteral("shpConnected"))->setToolTip(tip);
  }

  window.show();
  return QApplication::exec();
}
