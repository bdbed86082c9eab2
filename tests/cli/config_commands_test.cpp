// find, read and set against the simulated engraver.
#include <algorithm>
#include <array>
#include <string>

#include "cli/commands.h"
#include "cli_fixture.h"
#include "config/memory_map.h"
#include "config/parameter_fields.h"
#include "config/set_plan.h"
#include "device/modKT90.h"

namespace korimo::cli {
namespace {

TEST_F(CliTest, FindPrintsTheEngraversPath) {
  EXPECT_EQ(Run({"--sim", "find"}), kExitOk);
  EXPECT_EQ(Out(), platform_.DevicePath() + "\n");
  EXPECT_EQ(asked_for_sim_, true);
}

TEST_F(CliTest, FindWithoutEngraverExitsThreeAndSaysSo) {
  platform_.Unplug();
  EXPECT_EQ(Run({"find", "--sim"}), kExitNoEngraver);
  EXPECT_EQ(Out(), "");
  EXPECT_NE(Err().find("No engraver found"), std::string::npos) << Err();
}

TEST_F(CliTest, NoPlatformToSearchExitsThree) {
  platform_available_ = false;
  EXPECT_EQ(Run({"read"}), kExitNoEngraver);
  EXPECT_EQ(asked_for_sim_, false);
  EXPECT_EQ(Err(), "No platform.\n");
}

TEST_F(CliTest, ReadShowsEveryValueInFiveDigitsFromItsOwnStatusRead) {
  board().SetCell(memory::kMaxZ, 0x10);  // 4250
  board().SetCell(memory::kMaxZ + 1, 0x9A);
  board().SetCell(memory::kRasterSpeed, 0xC3);  // 50000, above 32767
  board().SetCell(memory::kRasterSpeed + 1, 0x50);
  EXPECT_EQ(Run({"--sim", "read"}), kExitOk);
  EXPECT_EQ(Out(),
            "Serial number                 04660\n"
            "Model code                    1 (Korimo KX2)\n"
            "Maximum X travel (0.001 in)   16000\n"
            "Maximum Y travel (0.001 in)   12000\n"
            "Maximum Z travel (0.001 in)   04250\n"
            "Raster speed (0.001 in/sec)   50000\n"
            "Vector speed (0.001 in/sec)   10000\n"
            "Z speed (0.001 in/sec)        08000\n");
  EXPECT_EQ(Reads(), 8u);
  EXPECT_TRUE(Written().empty());
}

TEST_F(CliTest, ReadNamesOnlyTheKnownModels) {
  board().SetCell(memory::kModelCode, memory::kModelKX3);
  ASSERT_EQ(Run({"--sim", "read"}), kExitOk);
  EXPECT_NE(Out().find("Model code                    2 (Korimo KX3)\n"), std::string::npos);
  board().SetCell(memory::kModelCode, 7);
  ASSERT_EQ(Run({"--sim", "read"}), kExitOk);
  EXPECT_NE(Out().find("Model code                    7\n"), std::string::npos) << Out();
}

TEST_F(CliTest, ReadJsonPrintsNumbers) {
  board().SetCell(memory::kSerialNumber, 0x00);
  board().SetCell(memory::kSerialNumber + 1, 0x2A);
  board().SetCell(memory::kModelCode, 0);
  EXPECT_EQ(Run({"--sim", "read", "--json"}), kExitOk);
  EXPECT_EQ(Out(),
            "{\"serial_number\": 42, \"model_code\": 0, \"model\": null, \"max_x\": 16000, "
            "\"max_y\": 12000, \"max_z\": 4250, \"raster_speed\": 50000, \"vector_speed\": "
            "10000, \"z_speed\": 8000}\n");
}

// The packets of a Set, as the write plan orders them.
std::vector<Bytes> SetPackets(const SetFieldTexts& texts, std::uint8_t model) {
  std::vector<Bytes> packets;
  for (const SetWrite& write : PlanSet(texts, model).writes) {
    const auto packet = MemoryWritePacket(write.address, write.value);
    packets.emplace_back(packet.begin(), packet.end());
  }
  return packets;
}

TEST_F(CliTest, SetWithAModelSendsThePlansSeventyNineWritesInOrder) {
  EXPECT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4661"}), kExitOk) << Err();
  const SetFieldTexts texts{"4661", {"24000", "12000", "4250", "50000", "10000", "8000"}};
  const std::vector<Bytes> written = Written();
  EXPECT_EQ(written.size(), kSetWriteCount);
  EXPECT_EQ(written, SetPackets(texts, memory::kModelKX3));
  // The marker 1 first, the model's code at the end of the words.
  EXPECT_EQ(written[2], (Bytes{0x00, 0x04, 0x03, 0x07, 0x01, 0x00}));
  EXPECT_EQ(written[15], (Bytes{0x00, 0x04, 0x03, 0x07, 0x02, 0x00}));
  EXPECT_EQ(board().Cell(5), 0x12);
  EXPECT_EQ(board().Cell(6), 0x35);
  EXPECT_EQ(board().Cell(16), 0x5D);
  EXPECT_EQ(board().Cell(17), 0xC0);
  EXPECT_EQ(board().Cell(memory::kModelCode), memory::kModelKX3);
  EXPECT_NE(Out().find("Serial number                 04661\n"), std::string::npos);
  EXPECT_NE(Out().find("Maximum Z travel (0.001 in)   04250\n"), std::string::npos);
}

TEST_F(CliTest, SetModelNoneStoresTheSixValuesAndModelCodeZero) {
  EXPECT_EQ(
      Run({"--sim", "set", "--model", "none", "--serial", "&H1234", "--max-x", "100", "--max-y",
           "200", "--max-z", "300", "--raster", "65535", "--vector", "0", "--z-speed", "2.5"}),
      kExitOk)
      << Err();
  const SetFieldTexts texts{"&H1234", {"100", "200", "300", "65535", "0", "2.5"}};
  EXPECT_EQ(Written(), SetPackets(texts, memory::kNoModel));
  EXPECT_EQ(board().Cell(memory::kModelCode), 0);
  EXPECT_EQ(board().Cell(5), 0x12);
  EXPECT_EQ(board().Cell(6), 0x34);
  EXPECT_EQ(board().Cell(memory::kZSpeed + 1), 2);  // 2.5 rounds to the even 2
  EXPECT_NE(Out().find("Z speed (0.001 in/sec)        00002\n"), std::string::npos) << Out();
}

// The engraver is lost after the 20th write: the writes go on unchanged, and
// the one sentence says how far the command got (exit 5).
TEST_F(CliTest, WritesThatDoNotReachTheEngraverExitFiveInOneSentence) {
  files().SetOpenHook([this](const std::string&, const OpenParameters&) {
    if (board().Counts().memory_writes == 20 && platform_.Plugged()) {
      platform_.Unplug();
    }
  });
  EXPECT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4661"}), kExitCutShort);
  EXPECT_EQ(Err(),
            "Only 20 of the 79 values reached the engraver. Set again once the engraver is "
            "connected.\n");
  EXPECT_EQ(Out().find("bytes written"), std::string::npos);
  EXPECT_EQ(Written().size(), 20u);
  EXPECT_EQ(board().Counts().memory_reads, 0u);

  files().SetOpenHook({});
  platform_.Plug();
  files().FailWrites(sim::FaultSpan::Times(64));
  EXPECT_EQ(Run({"--sim", "eeprom", "clear"}), kExitCutShort);
  EXPECT_EQ(Err(),
            "None of the 64 cells reached the engraver. Clear again once the engraver is "
            "connected.\n");
  EXPECT_EQ(Run({"--sim", "eeprom", "write", "32", "1"}), kExitOk) << Err();
  files().FailWrites(sim::FaultSpan::Times(1));
  EXPECT_EQ(Run({"--sim", "eeprom", "write", "32", "2"}), kExitCutShort);
  EXPECT_EQ(Err(), "The value did not reach the engraver; write it again once it is connected.\n");
  EXPECT_EQ(board().Cell(0x20), 1);
  files().FailWrites(sim::FaultSpan::Times(1));
  EXPECT_EQ(Run({"--sim", "clear-id", "--yes"}), kExitCutShort);
  EXPECT_NE(Err().find("did not reach the engraver"), std::string::npos);
}

TEST_F(CliTest, SetUsageErrorsWriteNothing) {
  const std::vector<std::vector<std::string>> lines{
      {"set", "--serial", "1"},
      {"set", "--model", "KX2"},
      {"set", "--model", "KX4", "--serial", "1"},
      {"set", "--model", "KX2", "--serial", "1", "--max-x", "16000"},
      {"set", "--model", "none", "--serial", "1", "--max-x", "1", "--max-y", "1", "--max-z", "1",
       "--raster", "1", "--vector", "1"},
  };
  for (std::vector<std::string> line : lines) {
    line.push_back("--sim");
    EXPECT_EQ(Run(line), kExitUsage) << line[1] << ' ' << line[2];
    EXPECT_FALSE(Err().empty());
  }
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(Reads(), 0u);
}

TEST_F(CliTest, SetRefusesValuesOutsideAWordAndWritesNothing) {
  const std::vector<std::pair<std::string, std::string>> refused{
      {"--serial", "65536"}, {"--serial", "-1"},    {"--serial", "abc"},
      {"--serial", "0x20"},  {"--serial", ""},      {"--serial", "65535.5"},
      {"--max-y", "-0.6"},   {"--z-speed", "1e10"}, {"--raster", "12 cm"},
  };
  for (const auto& [option, value] : refused) {
    std::vector<std::string> line{"--sim",    "set", "--model",  "none", "--serial",  "1",
                                  "--max-x",  "1",   "--max-y",  "1",    "--max-z",   "1",
                                  "--raster", "1",   "--vector", "1",    "--z-speed", "1"};
    const auto at = std::find(line.begin(), line.end(), option);
    *(at + 1) = value;
    EXPECT_EQ(Run(line), kExitRefused) << option << ' ' << value;
    EXPECT_NE(Err().find(option), std::string::npos) << Err();
  }
  EXPECT_TRUE(Written().empty());
}

TEST_F(CliTest, SetAcceptsTheEdgesOfAWord) {
  EXPECT_EQ(Run({"--sim", "set", "--model", "kx2", "--serial", "65535.4"}), kExitOk) << Err();
  EXPECT_EQ(board().Cell(5), 0xFF);
  EXPECT_EQ(board().Cell(6), 0xFF);
  EXPECT_EQ(Run({"--sim", "set", "--model", "KX2", "--serial", " 0 "}), kExitOk) << Err();
  EXPECT_EQ(board().Cell(5), 0x00);
  EXPECT_EQ(board().Cell(6), 0x00);
  // The window's rule: the rounded number decides, so -0.4 is stored as 0.
  EXPECT_EQ(Run({"--sim", "set", "--model", "none", "--serial", "1", "--max-x", "1", "--max-y",
                 "-0.4", "--max-z", "1", "--raster", "1", "--vector", "1", "--z-speed", "1"}),
            kExitOk)
      << Err();
  EXPECT_EQ(board().Cell(memory::kMaxY), 0x00);
  EXPECT_EQ(board().Cell(memory::kMaxY + 1), 0x00);
}

}  // namespace
}  // namespace korimo::cli
