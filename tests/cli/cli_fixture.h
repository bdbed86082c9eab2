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
#include "tests/support/sim_engraver.h"

namespace korimo::cli {

using Bytes = std::vector<std::uint8_t>;

class CliTest : public ::testing::Test {
 protected:
  CliTest() { files().EnableLog(); }

  // Runs the words as a command line; `input` is what the user types.
  int Run(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    out_.str("");
    err_.str("");
    asked_for_sim_.reset();
    const PortsProvider ports = [this](bool simulated,
                                       std::ostream& err) -> std::optional<platform::Ports> {
      asked_for_sim_ = simulated;
      if (!platform_available_) {
        err << "No platform.\n";
        return std::nullopt;
      }
      return platform::Simulated(platform_);
    };
    return RunCli(args, {in, out_, err_, err_is_terminal_}, ports);
  }

  std::string Out() const { return out_.str(); }
  std::string Err() const { return err_.str(); }

  // The packets that reached the device file, in order.
  std::vector<Bytes> Written() { return korimo::testing::WrittenPackets(files()); }

  std::size_t Reads() { return korimo::testing::LoggedReads(files()); }

  sim::Board& board() { return platform_.GetBoard(); }
  sim::SimDeviceFiles& files() { return platform_.GetFiles(); }

  sim::ManualClock clock_;
  sim::SimPlatform platform_{clock_, korimo::testing::InstantBoard(true, 9)};
  bool platform_available_ = true;
  bool err_is_terminal_ = false;
  std::optional<bool> asked_for_sim_;
  std::ostringstream out_;
  std::ostringstream err_;
};

}  // namespace korimo::cli
