// korimo-cli run in-process against the simulated engraver on a manual clock.
// The board answers at once (no busy time) unless a test says otherwise, and
// the device file keeps a log of every transfer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "sim/platform.h"

namespace korimo::cli {

using Bytes = std::vector<std::uint8_t>;

class CliTest : public ::testing::Test {
 protected:
  static sim::PlatformOptions Options() {
    sim::PlatformOptions options;
    options.catalogue.classes = 12;
    options.catalogue.engraver_class = 9;
    options.timings.memory_write = sim::Micros{0};
    options.timings.memory_read = sim::Micros{0};
    return options;
  }

  CliTest() { files().EnableLog(); }

  // Runs the words as a command line; `input` is what the user types.
  int Run(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    out_.str("");
    err_.str("");
    asked_for_sim_.reset();
    const PortsProvider ports = [this](bool simulated,
                                       std::ostream& err) -> std::optional<EngraverPorts> {
      asked_for_sim_ = simulated;
      if (!platform_available_) {
        err << "No platform.\n";
        return std::nullopt;
      }
      return EngraverPorts{&platform_.GetCatalogue(), &platform_.GetFiles()};
    };
    return RunCli(args, {in, out_, err_, err_is_terminal_}, ports);
  }

  std::string Out() const { return out_.str(); }
  std::string Err() const { return err_.str(); }

  // The packets that reached the device file, in order.
  std::vector<Bytes> Written() {
    std::vector<Bytes> packets;
    for (const sim::FileLogEntry& entry : platform_.GetFiles().Log()) {
      if (entry.kind == sim::FileEvent::kWrite) {
        packets.push_back(entry.bytes);
      }
    }
    return packets;
  }

  std::size_t Reads() {
    std::size_t reads = 0;
    for (const sim::FileLogEntry& entry : platform_.GetFiles().Log()) {
      reads += entry.kind == sim::FileEvent::kRead ? 1 : 0;
    }
    return reads;
  }

  sim::Board& board() { return platform_.GetBoard(); }
  sim::SimDeviceFiles& files() { return platform_.GetFiles(); }

  sim::ManualClock clock_;
  sim::SimPlatform platform_{clock_, Options()};
  bool platform_available_ = true;
  bool err_is_terminal_ = false;
  std::optional<bool> asked_for_sim_;
  std::ostringstream out_;
  std::ostringstream err_;
};

}  // namespace korimo::cli
