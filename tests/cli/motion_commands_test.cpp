// home, inputs and positions against the simulated engraver.
#include "cli_fixture.h"
#include "device/modKT90.h"

namespace korimo::cli {
namespace {

TEST_F(CliTest, HomeSendsTheHomePacketEvenWhileBusy) {
  board().SetStuckBusy(true);
  EXPECT_EQ(Run({"--sim", "home"}), kExitOk);
  const auto home = HomePacket();
  EXPECT_EQ(Written(), std::vector<Bytes>{Bytes(home.begin(), home.end())});
  EXPECT_EQ(board().Counts().homes, 1u);
}

TEST_F(CliTest, InputsNamesEachBitOfStatusByteTwo) {
  struct Case {
    std::uint8_t bits;
    std::string shown;
  };
  const std::vector<Case> cases{
      {0x01,
       "POWER    on\nUP       off\nDOWN     off\nPAUSE    off\nSTART    off\n"
       "Table.0  off\nTable.1  off\n"},
      {0x02,
       "POWER    off\nUP       off\nDOWN     on\nPAUSE    off\nSTART    off\n"
       "Table.0  off\nTable.1  off\n"},
      {0x1C,
       "POWER    off\nUP       on\nDOWN     off\nPAUSE    on\nSTART    on\n"
       "Table.0  off\nTable.1  off\n"},
      {0x60,
       "POWER    off\nUP       off\nDOWN     off\nPAUSE    off\nSTART    off\n"
       "Table.0  on\nTable.1  on\n"},
      {0x80,
       "POWER    off\nUP       off\nDOWN     off\nPAUSE    off\nSTART    off\n"
       "Table.0  off\nTable.1  off\n"},
  };
  for (const Case& c : cases) {
    board().SetInputs(c.bits);
    EXPECT_EQ(Run({"--sim", "inputs"}), kExitOk);
    EXPECT_EQ(Out(), c.shown) << int{c.bits};
  }
}

TEST_F(CliTest, PositionsShowThousandthsWithThreeDecimals) {
  board().SetPosition(sim::Axis::kX, 12345);
  board().SetPosition(sim::Axis::kY, 5);
  board().SetPosition(sim::Axis::kZ, 65535);
  EXPECT_EQ(Run({"--sim", "positions"}), kExitOk);
  EXPECT_EQ(Out(), "X 12.345\nY 00.005\nZ 65.535\n");
  EXPECT_EQ(Reads(), 3u);
}

}  // namespace
}  // namespace korimo::cli
