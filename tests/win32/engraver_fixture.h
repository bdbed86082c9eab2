// The engraver as a Windows PC sees it, under Wine or on Windows: interfaces
// registered in the device-interface catalogue, the live one's SymbolicLink
// naming a pipe on which the simulated board answers. The core runs on the
// real Win32 back ends against it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "engraver_catalogue.h"
#include "pipe_board.h"
#include "registry_scratch.h"
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"

namespace korimo::win32test {

// The console has no events to run.
class CountingPump final : public EventPump {
 public:
  void DoEvents() override { ++turns_; }
  int Turns() const { return turns_; }

 private:
  int turns_ = 0;
};

// A fresh pipe name for every board of this process.
std::string UniquePipeName();

inline sim::BoardTimings QuickBoard() {
  sim::BoardTimings timings;
  timings.memory_write = sim::Micros{300};
  timings.memory_read = sim::Micros{200};
  return timings;
}

class EngraverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board_.Start()) << "cannot create the pipe " << board_.Path();
    ASSERT_TRUE(RegisterEngravers(scratch_, board_.Path(), catalogue_));
  }

  // One status read through the channel: the board has taken every packet
  // sent before it once it returns; then the server has counted it too.
  void Settle() {
    static_cast<void>(kt90_.IsControllerBusy());
    EXPECT_TRUE(board_.WaitUntilQuiet());
  }

  PipeBoard board_{UniquePipeName(), QuickBoard()};
  RegistryScratch scratch_;
  EngraverCatalogue catalogue_;
  win32::RegistryCatalogue registry_;
  win32::Win32DeviceFiles files_;
  CountingPump pump_;
  RegistryFinder finder_{registry_};
  modKT90 kt90_{finder_, files_, pump_};
};

}  // namespace korimo::win32test
