// eeprom dump / write / clear and clear-id against the simulated engraver.
#include "cli_fixture.h"
#include "config/memory_map.h"
#include "device/modKT90.h"

namespace korimo::cli {
namespace {

Bytes WritePacket(std::uint8_t address, std::uint8_t value) {
  const auto packet = MemoryWritePacket(address, value);
  return Bytes(packet.begin(), packet.end());
}

TEST_F(CliTest, EEPromDumpShowsTheEightRowsOfTheFixedBlock) {
  board().SetCell(0x5B, 0xA5);
  EXPECT_EQ(Run({"--sim", "eeprom", "dump"}), kExitOk);
  EXPECT_EQ(Out(),
            "0x20: 0xCD 0xCC 0xCC 0x3C 0x0A 0xD7 0x23 0x3C\n"
            "0x28: 0xCD 0xCC 0xCC 0x3C 0xCD 0xCC 0xCC 0x3C\n"
            "0x30: 0x0A 0xD7 0xA3 0x3D 0x6F 0x12 0x83 0x3A\n"
            "0x38: 0x6F 0x12 0x83 0x3A 0x6F 0x12 0x83 0x3A\n"
            "0x40: 0x00 0x00 0x20 0x41 0x00 0x00 0xFA 0x45\n"
            "0x48: 0x00 0x00 0x00 0x3F 0x14 0x00 0x00 0x00\n"
            "0x50: 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00\n"
            "0x58: 0x00 0x00 0x01 0xA5 0x00 0x00 0x28 0x5A\n");
  // 64 read requests, nothing else written.
  EXPECT_EQ(Written().size(), 64u);
  EXPECT_EQ(board().Counts().memory_writes, 0u);
}

TEST_F(CliTest, EEPromWriteTakesTheEditorsNumberForms) {
  struct Case {
    std::string address;
    std::string value;
    std::uint8_t stored_at;
    std::uint8_t stored;
  };
  const std::vector<Case> cases{
      {"32", "1", 0x20, 1},  {"&H20", "&HFF", 0x20, 0xFF}, {"63", "255", 0x3F, 0xFF},
      {"0", "0", 0x00, 0},   {"62.5", "&O17", 62, 15},     {" 7 ", "254.5", 7, 254},
      {"-0", "1E2", 0, 100},
  };
  for (const Case& c : cases) {
    files().ClearLog();
    EXPECT_EQ(Run({"--sim", "eeprom", "write", c.address, c.value, "--no-history"}), kExitOk)
        << c.address << ' ' << c.value << ": " << Err();
    EXPECT_EQ(Written(), std::vector<Bytes>{WritePacket(c.stored_at, c.stored)}) << c.address;
    EXPECT_EQ(board().Cell(c.stored_at), c.stored);
  }
}

TEST_F(CliTest, EEPromWriteRefusesWhatTheEditorRefuses) {
  struct Case {
    std::string address;
    std::string value;
    std::string message;
  };
  const std::vector<Case> cases{
      {"0x20", "1", "\"0x20\" is not a number"},
      {"", "1", "\"\" is not a number"},
      {"20", "abc", "\"abc\" is not a number"},
      {"64", "1", "Invalid Value: the address"},
      {"&H40", "1", "Invalid Value: the address"},
      {"63.5", "1", "Invalid Value: the address"},  // rounds to 64
      {"-1", "1", "Invalid Value: the address"},
      {"-0.4", "1", "Invalid Value: the address"},  // below zero, though it rounds to 0
      {"1", "256", "Invalid Value: the value"},
      {"1", "255.5", "Invalid Value: the value"},  // rounds to 256
      {"1", "-3", "Invalid Value: the value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({"--sim", "eeprom", "write", c.address, c.value}), kExitRefused)
        << c.address << ' ' << c.value;
    EXPECT_EQ(Err().rfind(c.message, 0), 0u) << Err();
  }
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(Reads(), 0u);
}

TEST_F(CliTest, EEPromClearErasesTheBlockThenShowsIt) {
  board().SetCell(0x60, 0x11);
  EXPECT_EQ(Run({"--sim", "eeprom", "clear", "--no-history"}), kExitOk);
  for (unsigned address = 0x20; address <= 0x5F; ++address) {
    EXPECT_EQ(board().Cell(static_cast<std::uint8_t>(address)), 0xFF) << address;
  }
  EXPECT_EQ(board().Cell(0x1F), 0xFF);  // factory image: erased outside the block
  EXPECT_EQ(board().Cell(0x60), 0x11);
  const std::vector<Bytes> written = Written();
  ASSERT_EQ(written.size(), 64u + 64u);
  EXPECT_EQ(written.front(), WritePacket(0x20, 0xFF));
  EXPECT_EQ(written[63], WritePacket(0x5F, 0xFF));
  EXPECT_EQ(Out(), std::string("0x20: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x28: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x30: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x38: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x40: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x48: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x50: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"
                               "0x58: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n"));
}

constexpr char kQuestion[] =
    "This will reset the engraver VID/PID.  Are you sure you want to continue? [y/N] ";

TEST_F(CliTest, ClearIdAsksAndSendsTheOneWriteOnYes) {
  board().SetCell(memory::kUsbIdentity, 0x5A);
  EXPECT_EQ(Run({"--sim", "clear-id", "--no-history"}, "y\n"), kExitOk);
  EXPECT_EQ(Out().rfind(kQuestion, 0), 0u) << Out();
  EXPECT_EQ(Written(), std::vector<Bytes>{WritePacket(0xE0, 0x00)});
  EXPECT_EQ(board().Cell(memory::kUsbIdentity), 0x00);
}

TEST_F(CliTest, ClearIdSendsNothingUnlessTheAnswerIsYes) {
  for (const std::string answer : {"n\n", "\n", "", "yeah\n", "no\n"}) {
    EXPECT_EQ(Run({"--sim", "clear-id", "--no-history"}, answer), kExitOk);
    EXPECT_EQ(Out(), std::string(kQuestion) + "Nothing was sent.\n");
  }
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(Run({"--sim", "clear-id", "--no-history"}, "YES\r\n"), kExitOk);
  EXPECT_EQ(Written().size(), 1u);
}

TEST_F(CliTest, ClearIdWithYesDoesNotAsk) {
  EXPECT_EQ(Run({"--sim", "clear-id", "--yes", "--no-history"}), kExitOk);
  EXPECT_EQ(Out().find("Are you sure"), std::string::npos);
  EXPECT_EQ(Written(), std::vector<Bytes>{WritePacket(0xE0, 0x00)});
}

}  // namespace
}  // namespace korimo::cli
