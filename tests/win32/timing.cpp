// Figures of the device link on the real Win32 calls (under Wine or on
// Windows), against the pipe board and the registered catalogue of the
// end-to-end tests: the registry walk, a read transaction, a write transaction
// with its probe, a memory write, a whole Set in-process and korimo-cli's Set
// as a program. Prints them; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "config/memory_map.h"
#include "config/set_plan.h"
#include "device/SEnumValue.h"
#include "device/modKT90.h"
#include "device/modStream.h"
#include "device/registry_finder.h"
#include "engraver_catalogue.h"
#include "pipe_board.h"
#include "registry_scratch.h"
#include "run_program.h"
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

using Clock = std::chrono::steady_clock;

class NoEvents final : public EventPump {
 public:
  void DoEvents() override {}
};

// Milliseconds per step: the median step and the fastest and slowest.
struct Figure {
  double median;
  double low;
  double high;
};

// Times `step` `count` times, one by one; `settle` runs after each step,
// outside the timing.
Figure Measure(
    int count, const std::function<void()>& step, const std::function<void()>& settle = [] {}) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    step();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    settle();
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.front(), times.back()};
}

void Print(const char* what, const Figure& figure) {
  std::printf("  %-48s %8.3f ms  (%.3f .. %.3f)\n", what, figure.median, figure.low, figure.high);
}

// Says how many of the packets sent so far never reached the board.
void PrintLost(PipeBoard& board, std::uint32_t sent) {
  const std::uint32_t arrived = board.Counts().packets;
  if (arrived < sent) {
    std::printf("    %u packets lost so far: the pipe server fell behind\n", sent - arrived);
  }
}

int Run() {
  sim::BoardTimings timings;
  timings.memory_write = sim::Micros{0};
  timings.memory_read = sim::Micros{0};
  PipeBoard board("\\\\.\\pipe\\korimo-timing-" + std::to_string(GetCurrentProcessId()), timings);
  RegistryScratch scratch;
  EngraverCatalogue catalogue;
  if (!board.Start() || !RegisterEngravers(scratch, board.Path(), catalogue)) {
    std::printf("cannot set up the pipe board and the catalogue\n");
    return 1;
  }
  win32::RegistryCatalogue registry;
  win32::Win32DeviceFiles files;
  NoEvents pump;
  SEnumValue search(registry);
  modStream stream(files, pump);
  RegistryFinder finder(registry);
  modKT90 kt90(finder, files, pump);
  if (!kt90.IsDeviceConnected()) {
    std::printf("the engraver was not found\n");
    return 1;
  }
  const std::string path = kt90.DevicePath();

  // A loop of bare writes outruns the pipe server: with no instance listening
  // the next open fails and the channel drops the packet. So the server is let
  // catch up after each write, outside the timing, and lost packets are counted.
  std::uint32_t expected_packets = 0;
  const auto catch_up = [&] {
    const auto since = Clock::now();
    while (board.Counts().packets < expected_packets &&
           Clock::now() - since < std::chrono::seconds(1)) {
      Sleep(0);
    }
  };

  std::printf("Device link on the real Win32 calls (median, fastest .. slowest):\n");
  Print("registry walk (FindDevicePath)", Measure(200, [&] { search.FindDevicePath(); }));
  StatusPacket status{};
  Print("read transaction (open, read 33 bytes, close)",
        Measure(500, [&] { (void)stream.ReadPacket(path, status); }));
  const auto packet = MemoryWritePacket(0x30, 0x55);
  const auto write_packet = [&] {
    ++expected_packets;
    (void)stream.WritePacket(path, packet);
  };
  Print("write transaction (probe, open, write, flush)", Measure(500, write_packet, catch_up));
  PrintLost(board, expected_packets);
  const auto write_byte = [&] {
    ++expected_packets;
    kt90.WriteEEPromByte(0x30, 0x55);
  };
  Print("WriteEEPromByte (busy poll, then the write)", Measure(300, write_byte, catch_up));
  PrintLost(board, expected_packets);
  const SetPlan plan =
      PlanSet({"4660", {"16000", "12000", "4250", "50000", "10000", "8000"}}, memory::kModelKX2);
  const auto set_in_process = [&] {
    for (const SetWrite& write : plan.writes) {
      kt90.WriteEEPromByte(write.address, write.value);
    }
    expected_packets += kSetWriteCount;
  };
  Print("Set in-process (79 writes)", Measure(5, set_in_process, catch_up));
  PrintLost(board, expected_packets);

  const std::string cli = "\"" + BesideThisProgram("korimo-cli.exe") + "\"";
  std::vector<double> start_only;
  std::vector<double> set_runs;
  for (int i = 0; i < 5; ++i) {
    if (const auto help = RunProgram(cli + " --help")) {
      start_only.push_back(help->milliseconds);
    }
    if (const auto set = RunProgram(cli + " set --model KX2 --serial 4660")) {
      expected_packets += kSetWriteCount;
      set_runs.push_back(set->exit_code == 0 ? set->milliseconds : -1);
    }
    catch_up();
  }
  std::sort(start_only.begin(), start_only.end());
  std::sort(set_runs.begin(), set_runs.end());
  if (!start_only.empty() && !set_runs.empty()) {
    std::printf("  %-48s %8.1f ms\n", "korimo-cli --help (process start to end)",
                start_only[start_only.size() / 2]);
    std::printf("  %-48s %8.1f ms  (%.1f .. %.1f)\n", "korimo-cli set (wall time)",
                set_runs[set_runs.size() / 2], set_runs.front(), set_runs.back());
  }
  PrintLost(board, expected_packets);
  const PipeCounts counts = board.Counts();
  std::printf("  pipe board: %u connections, %u status reads, %u packets (%u sent), %u probes\n",
              counts.connections, counts.status_reads, counts.packets, expected_packets,
              counts.probes);
  return 0;
}

}  // namespace
}  // namespace korimo::win32test

int main() {
  return korimo::win32test::Run();
}
