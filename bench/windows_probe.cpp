// korimo_windows_probe: figures for the service windows on the simulated
// engraver with the real event loop, its steady clock and default timings.
// Not a test; run it by hand, pinned to one core for the figures that matter:
//
//   taskset -c 0 korimo_windows_probe [SECONDS] [--screenshots DIR]
//
// 1. The jog window alone, no button held: ticks per second, status reads per
//    second and the CPU it takes.
// 2. The same with JOGPOSX held (the demo's movement files): walks, moves and
//    status reads per second.
// 3. Every window open (main window, jog window, I/O window and the memory
//    editor, shown modally) and idle: CPU use and status reads per second.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/demo_moves.h"
#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "iocheck/io_opener.h"
#include "jog/move_opener.h"
#include "mainwin/main_window.h"
#include "memedit/mem_edit_opener.h"
#include "sim/platform.h"
#include "ui/qt_event_pump.h"
#include "ui/qt_prompts.h"

namespace {

using namespace korimo;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Span {
  double wall = 0;
  double cpu = 0;
  int ticks = 0;
  std::uint32_t reads = 0;
  std::uint32_t moves = 0;
};

// Runs the event loop for `seconds`, counting the jog window's ticks.
Span Measure(double seconds, sim::SimPlatform& platform, ui::WindowTimer* jog_timer) {
  Span span;
  const QMetaObject::Connection counting =
      jog_timer != nullptr
          ? QObject::connect(jog_timer, &ui::WindowTimer::timeout, [&span] { ++span.ticks; })
          : QMetaObject::Connection();
  const std::uint32_t reads = platform.GetFiles().Counts().reads;
  const std::uint32_t moves = platform.GetBoard().Counts().moves;
  const double cpu = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
  span.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  span.cpu = CpuSeconds() - cpu;
  span.reads = platform.GetFiles().Counts().reads - reads;
  span.moves = platform.GetBoard().Counts().moves - moves;
  QObject::disconnect(counting);
  return span;
}

void Print(const char* what, const Span& span) {
  std::printf("%-44s %7.1f ticks/s %8.1f status reads/s %7.1f moves/s  CPU %5.1f %%\n", what,
              span.ticks / span.wall, span.reads / span.wall, span.moves / span.wall,
              100.0 * span.cpu / span.wall);
  std::fflush(stdout);
}

void Grab(QWidget* window, const QString& directory, const char* name) {
  if (directory.isEmpty() || window == nullptr) {
    return;
  }
  const QString path = directory + "/" + QString::fromLatin1(name) + ".png";
  if (window->grab().save(path)) {
    std::printf("screenshot %s\n", path.toLocal8Bit().constData());
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  double seconds = 5;
  QString screenshots;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshots" && i + 1 < argc) {
      screenshots = QString::fromLocal8Bit(argv[++i]);
    } else {
      seconds = std::atof(argv[i]);
    }
  }
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: korimo_windows_probe [SECONDS] [--screenshots DIR]\n");
    return EXIT_FAILURE;
  }

  sim::SimPlatform platform;  // steady clock, default timings and catalogue
  ui::QtEventPump pump;
  ui::QtPrompts prompts;
  RegistryFinder finder(platform.GetCatalogue());
  modKT90 kt90(finder, platform.GetFiles(), pump);
  kt90.IsDeviceConnected();

  QTemporaryDir moves;
  std::string error;
  if (!moves.isValid() || !app::WriteDemoMoveFiles(moves.path().toStdString(), error)) {
    std::fprintf(stderr, "korimo_windows_probe: no movement files: %s\n", error.c_str());
    return EXIT_FAILURE;
  }

  jog::MoveOpener jog_opener(kt90, prompts);
  jog_opener.Open();
  frmMove& jog_window = *jog_opener.Window();
  jog_window.SetProgramFolder(moves.path());
  ui::WindowTimer* jog_timer = jog_window.findChild<ui::WindowTimer*>(QStringLiteral("tmrMove"));
  Measure(0.5, platform, jog_timer);  // settle
  Print("jog window alone, no button held", Measure(seconds, platform, jog_timer));

  jog_window.picMove_MouseDown(12);  // JOGPOSX
  Print("jog window, JOGPOSX held", Measure(seconds, platform, jog_timer));
  jog_window.picMove_MouseUp(12);

  s main_window(kt90, prompts);
  main_window.SetEndProgram([] {});
  main_window.show();
  iocheck::IOOpener io_opener(kt90);
  io_opener.SetEndProgram([] {});
  io_opener.Open();
  memedit::MemEditOpener editor_opener(kt90, prompts, &main_window);
  // Once the editor has loaded and stands modally over the main window.
  QTimer shown;
  shown.setInterval(10);
  QObject::connect(&shown, &QTimer::timeout, [&] {
    QWidget* editor = editor_opener.Window();
    if (editor == nullptr || QApplication::activeModalWidget() != editor) {
      return;
    }
    shown.stop();
    Measure(0.5, platform, jog_timer);
    Grab(&main_window, screenshots, "main-window");
    Grab(&jog_window, screenshots, "jog-window");
    Grab(io_opener.Window(), screenshots, "io-window");
    Grab(editor, screenshots, "memory-editor");
    Print("all windows open, idle (editor shown modally)", Measure(seconds, platform, jog_timer));
    editor->hide();
  });
  shown.start();
  editor_opener.Open();
  return EXIT_SUCCESS;
}
