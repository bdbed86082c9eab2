// Prints what the USB back end costs, with a simulated engraver on umockdev's
// bus (run it under umockdev-wrapper):
//   - usbdevfs ioctls per status read and per memory write, by request, once
//     the engraver is found (the target: only each transfer's own submit and
//     reap, no open or claim per transaction);
//   - the time of a full Set (79 writes) through the back end, against the same
//     Set through the simulated device files, median of the runs.
//
//   umockdev-wrapper build/default/tests/usb/korimo_usb_probe [RUNS]
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "config/set_plan.h"
#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "sim/platform.h"
#include "tests/support/fake_ports.h"
#include "tests/usb/usb_testbed.h"
#include "usb/usb_engraver.h"

namespace {

using korimo::usbtest::UsbBoard;
using Clock = std::chrono::steady_clock;

std::string RequestName(unsigned long request) {
  static const std::map<unsigned long, std::string> kNames = {
      {USBDEVFS_SUBMITURB, "SUBMITURB"},           {USBDEVFS_REAPURB, "REAPURB"},
      {USBDEVFS_REAPURBNDELAY, "REAPURBNDELAY"},   {USBDEVFS_DISCARDURB, "DISCARDURB"},
      {USBDEVFS_CLAIMINTERFACE, "CLAIMINTERFACE"}, {USBDEVFS_RELEASEINTERFACE, "RELEASEINTERFACE"},
      {USBDEVFS_GETDRIVER, "GETDRIVER"},           {USBDEVFS_GET_CAPABILITIES, "GET_CAPABILITIES"},
  };
  const auto found = kNames.find(request);
  return found != kNames.end() ? found->second : "0x" + std::to_string(request);
}

void PrintPer(const char* what, UsbBoard& board, int count) {
  std::printf("%-26s %6.2f ioctls:", what, static_cast<double>(board.TotalIoctls()) / count);
  for (const auto& [request, n] : board.Ioctls()) {
    std::printf("  %s %.2f", RequestName(request).c_str(), static_cast<double>(n) / count);
  }
  std::printf("\n");
}

const korimo::SetPlan& Plan() {
  static const korimo::SetPlan plan =
      korimo::PlanSet({"04661", {"24000", "12000", "4250", "50000", "10000", "8000"}}, 2);
  return plan;
}

double SetMilliseconds(korimo::modKT90& kt90) {
  const Clock::time_point start = Clock::now();
  for (const korimo::SetWrite& write : Plan().writes) {
    kt90.WriteEEPromByte(write.address, write.value);
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  korimo::usbtest::UsbTestbed testbed;
  UsbBoard board;
  testbed.Plug(board);
  korimo::usb::UsbEngraver usb;  // the product's own transfer time limit
  korimo::testing::ScriptedPump pump;
  korimo::modKT90 kt90(usb, usb, pump);
  board.ResetIoctls();
  if (!kt90.IsDeviceConnected()) {
    std::fprintf(stderr, "korimo_usb_probe: the simulated engraver was not found: %s\n",
                 kt90.DeviceTrouble().c_str());
    return 1;
  }
  std::printf("engraver: %s\n", kt90.DevicePath().c_str());
  PrintPer("first search (open, claim)", board, 1);

  constexpr int kTransactions = 200;
  board.ResetIoctls();
  for (int i = 0; i < kTransactions; ++i) {
    (void)kt90.IsControllerBusy();
  }
  PrintPer("per status read", board, kTransactions);
  board.ResetIoctls();
  for (int i = 0; i < kTransactions; ++i) {
    kt90.WriteEEPromByte(0x30, static_cast<std::uint8_t>(i));
  }
  PrintPer("per memory write", board, kTransactions);
  std::printf("%-26s (a memory write is its busy poll's status read and the 6-byte write)\n", "");
  board.ResetIoctls();
  (void)kt90.IsDeviceConnected();
  PrintPer("per search, engraver held", board, 1);

  std::vector<double> through_usb;
  std::vector<double> through_files;
  korimo::sim::SimPlatform platform(
      {.timings = {.memory_write = korimo::sim::Micros{0}, .memory_read = korimo::sim::Micros{0}}});
  korimo::RegistryFinder finder(platform.GetCatalogue());
  korimo::modKT90 simulated(finder, platform.GetFiles(), pump);
  (void)simulated.IsDeviceConnected();
  for (int run = 0; run < runs; ++run) {
    through_usb.push_back(SetMilliseconds(kt90));
    through_files.push_back(SetMilliseconds(simulated));
  }
  const double usb_ms = Median(through_usb);
  const double files_ms = Median(through_files);
  std::printf(
      "Set of %zu writes, median of %d: USB back end %.2f ms, simulated device files %.3f ms"
      " (%.0fx)\n",
      Plan().writes.size(), runs, usb_ms, files_ms, files_ms > 0 ? usb_ms / files_ms : 0.0);
  std::printf("claims during the Set runs: %u\n", board.IoctlCount(USBDEVFS_CLAIMINTERFACE));
  return 0;
}
