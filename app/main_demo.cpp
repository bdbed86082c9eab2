// korimo-demo: the tool's windows on the simulated engraver, with the
// "Engraver simulator" panel beside them.
//
//   korimo-demo                 interactive
//   korimo-demo --script DIR    a scripted session that writes screenshots into DIR
//   korimo-demo --measure [S]   start-up, Read and Set times, idle CPU over S seconds
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/app_icon.h"
#include "app/demo_measure.h"
#include "app/demo_session.h"
#include "app/service_windows.h"
#include "app/simulator_panel.h"
#include "device/modKT90.h"
#include "korimo/version.h"
#include "mainwin/main_window.h"
#include "platform/platform.h"
#include "sim/platform.h"
#include "ui/qt_event_pump.h"
#include "ui/qt_prompts.h"

int main(int argc, char** argv) {
  // Answered before any window exists, so it works without a display too.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("korimo-demo %s\n", korimo::kVersion);
      return 0;
    }
  }
  QElapsedTimer since_main;
  since_main.start();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korimo-demo"));
  QApplication::setWindowIcon(korimo::app::KorimoIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("The Korimo configuration tool on a simulated engraver."));
  parser.addHelpOption();
  parser.addOption(
      QCommandLineOption(QStringLiteral("version"), QStringLiteral("Print the version and end.")));
  const QCommandLineOption script(
      QStringLiteral("script"),
      QStringLiteral("Run a scripted session (plug in, Read, KX3, Set, unplug, plug in) and "
                     "write screenshots into <dir>, printing their paths."),
      QStringLiteral("dir"));
  const QCommandLineOption measure(
      QStringLiteral("measure"),
      QStringLiteral("Print start-up time, Read and Set times and idle CPU over <seconds>."),
      QStringLiteral("seconds"));
  parser.addOptions({script, measure});
  parser.process(app);

  korimo::sim::SimPlatform platform;  // the simulator's default timings, steady clock
  korimo::ui::QtEventPump pump;
  korimo::ui::QtPrompts prompts;
  const korimo::platform::Ports ports = korimo::platform::Simulated(platform);
  korimo::modKT90 kt90(*ports.finder, *ports.files, pump);
  korimo::s window(kt90, prompts);
  korimo::app::ServiceWindows service(window, kt90, prompts);
  korimo::app::SimulatorPanel panel(platform, service);
  // Closing the panel leaves the tool running; the tool's own windows decide.
  panel.setAttribute(Qt::WA_QuitOnClose, false);

  window.show();
  panel.move(window.frameGeometry().right() + 16, window.frameGeometry().top());
  panel.show();

  const korimo::app::DemoParts parts{window, panel, platform, service};
  if (parser.isSet(script)) {
    const QString directory = parser.value(script);
    QTimer::singleShot(0, [&parts, directory] {
      for (const QString& path : korimo::app::RunScriptedSession(parts, directory)) {
        std::printf("%s\n", path.toLocal8Bit().constData());
      }
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  } else if (parser.isSet(measure)) {
    bool ok = false;
    const int seconds = parser.value(measure).toInt(&ok);
    if (!ok || seconds < 1) {
      std::fprintf(stderr, "korimo-demo: --measure needs a whole number of seconds, 1 or more\n");
      return 1;
    }
    QTimer::singleShot(0, [&parts, &since_main, seconds] {
      korimo::app::RunMeasurements(parts, since_main, seconds);
      QCoreApplication::quit();
    });
  }
  return QApplication::exec();
}
