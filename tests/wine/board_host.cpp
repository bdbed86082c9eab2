// korimo_board_host.exe: the simulated engraver for a whole program under Wine
// (or on a Windows test PC), so that korimo.exe can be started as it is and
// find it. Registers the engraver interfaces among decoys (engraver_catalogue.h),
// all unlinked, and serves the board on a named pipe as the live one's
// SymbolicLink; the board holds a KX3 configuration with serial number 4711.
// Commands on stdin, one per line:
//   arrive   link the live interface (the engraver is plugged in)
//   leave    unlink it
//   counts   print "counts CONNECTIONS STATUS_READS PACKETS" served so far
//   quit     (or the end of stdin) remove the registrations and end
#include <cstdio>
#include <iostream>
#include <string>

#include "config/memory_map.h"
#include "engraver_catalogue.h"
#include "pipe_board.h"
#include "registry_scratch.h"
#include "win32/windows_api.h"

namespace {

using korimo::win32test::EngraverCatalogue;
using korimo::win32test::PipeBoard;
using korimo::win32test::RegistryScratch;

void StoreWord(korimo::sim::Board& board, std::uint8_t address, unsigned value) {
  board.SetCell(address, static_cast<std::uint8_t>(value / 256));
  board.SetCell(static_cast<std::uint8_t>(address + 1), static_cast<std::uint8_t>(value % 256));
}

}  // namespace

int main() {
  const std::string name =
      "\\\\.\\pipe\\korimo-board-host-" + std::to_string(GetCurrentProcessId());
  PipeBoard board(name, korimo::sim::BoardTimings{});
  if (!board.Start()) {
    std::fprintf(stderr, "korimo_board_host: cannot create the pipe %s\n", name.c_str());
    return 1;
  }
  RegistryScratch scratch;
  EngraverCatalogue catalogue;
  const auto link = [&](const std::string& instance, std::uint32_t linked) {
    return scratch.SetDword(instance + "\\#\\Control", "Linked", linked);
  };
  if (!korimo::win32test::RegisterEngravers(scratch, board.Path(), catalogue) ||
      !link(catalogue.live_instance, 0) || !link(catalogue.second_instance, 0)) {
    std::fprintf(stderr, "korimo_board_host: cannot register the engraver\n");
    return 1;
  }
  board.WithBoard([](korimo::sim::Board& b) {
    StoreWord(b, 5, 4711);
    b.SetCell(korimo::memory::kModelCode, korimo::memory::kModelKX3);
    StoreWord(b, 16, 24000);
    StoreWord(b, 18, 12000);
    StoreWord(b, 14, 4250);
    StoreWord(b, 20, 50000);
    StoreWord(b, 22, 10000);
    StoreWord(b, 12, 8000);
  });
  std::printf("ready %s\n", board.Path().c_str());
  std::fflush(stdout);

  std::string command;
  while (std::getline(std::cin, command) && command != "quit") {
    if (command == "arrive" || command == "leave") {
      const bool ok = link(catalogue.live_instance, command == "arrive" ? 1 : 0);
      std::printf("%s %s\n", command.c_str(), ok ? "done" : "failed");
    } else if (command == "counts") {
      const korimo::win32test::PipeCounts counts = board.Counts();
      std::printf("counts %u %u %u\n", counts.connections, counts.status_reads, counts.packets);
    } else {
      std::printf("unknown command %s\n", command.c_str());
    }
    std::fflush(stdout);
  }
  const korimo::win32test::PipeCounts counts = board.Counts();
  std::printf("served %u connections, %u packets\n", counts.connections, counts.packets);
  return 0;
}
