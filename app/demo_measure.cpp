#include "app/demo_measure.h"

#ifdef _WIN32
#include "win32/windows_api.h"
// After <windows.h>.
#include <psapi.h>
#else
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#endif

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QWindow>
#include <cstdio>

#include "mainwin/main_window.h"
#include "sim/platform.h"

namespace korimo::app {
namespace {

#ifdef _WIN32
// FILETIME counts 100 ns units.
double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;
}

double CpuSeconds() {
  FILETIME creation{}, exit{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  return Seconds(kernel) + Seconds(user);
}

// Milliseconds since the process was created.
double MillisecondsSinceExec() {
  FILETIME creation{}, exit{}, kernel{}, user{}, now{};
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) {
    return -1;
  }
  GetSystemTimePreciseAsFileTime(&now);
  return (Seconds(now) - Seconds(creation)) * 1000.0;
}

double PeakMemoryMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    return -1;
  }
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}
#else
double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// Milliseconds since the process was started, from its start time in /proc
// (in clock ticks since boot, 10 ms resolution).
double MillisecondsSinceExec() {
  QFile stat(QStringLiteral("/proc/self/stat"));
  if (!stat.open(QIODevice::ReadOnly)) {
    return -1;
  }
  const QByteArray line = stat.readAll();
  // Fields after the command name, which is in parentheses and may hold blanks.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  constexpr int kStartTime = 22 - 3;  // field 22 of the whole line
  if (fields.size() <= kStartTime) {
    return -1;
  }
  const double start = fields[kStartTime].toDouble() / static_cast<double>(sysconf(_SC_CLK_TCK));
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double uptime = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
  return (uptime - start) * 1000.0;
}

double PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}
#endif

}  // namespace

void RunMeasurements(const DemoParts& parts, const QElapsedTimer& since_main, int idle_seconds) {
  QWindow* handle = parts.window.windowHandle();
  while (handle == nullptr || !handle->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    handle = parts.window.windowHandle();
  }
  QCoreApplication::processEvents();
  std::printf("window shown: %.0f ms after exec, %lld ms after main()\n", MillisecondsSinceExec(),
              static_cast<long long>(since_main.elapsed()));

  RunEventsFor(2 * s::kStatusInterval + 100);
  auto* read = parts.window.findChild<QPushButton*>(QStringLiteral("cmdRead"));
  auto* set = parts.window.findChild<QPushButton*>(QStringLiteral("cmdWrite"));
  QElapsedTimer timer;
  timer.start();
  read->click();
  std::printf("Read: %.2f ms\n", static_cast<double>(timer.nsecsElapsed()) / 1e6);

  const sim::BoardTimings& timings = parts.platform.GetBoard().Timings();
  timer.restart();
  set->click();
  std::printf("Set (79 writes, busy %lld us after each write): %.1f ms\n",
              static_cast<long long>(timings.memory_write.count()),
              static_cast<double>(timer.nsecsElapsed()) / 1e6);

  RunEventsFor(1000);
  const double cpu_before = CpuSeconds();
  timer.restart();
  RunEventsFor(idle_seconds * 1000);
  const double cpu = CpuSeconds() - cpu_before;
  const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  std::printf("idle: %.3f s CPU in %.1f s = %.2f %% of one core\n", cpu, wall, 100.0 * cpu / wall);

  std::printf("peak RSS: %.1f MiB\n", PeakMemoryMiB());
  std::fflush(stdout);
}

}  // namespace korimo::app
