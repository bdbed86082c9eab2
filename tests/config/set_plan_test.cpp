#include "config/set_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "config/presets.h"

namespace korimo {
namespace {

// A write as (address, value), both as written in the memory map tables.
using Cell = std::pair<int, int>;

std::vector<Cell> CellsOf(const SetPlan& plan) {
  std::vector<Cell> cells;
  for (const SetWrite& write : plan.writes) {
    cells.emplace_back(write.address, write.value);
  }
  return cells;
}

SetFieldTexts Texts(std::string serial, std::array<std::string, 6> parameters) {
  return SetFieldTexts{std::move(serial), std::move(parameters)};
}

// The field texts of the two models, in the order max X, max Y, max Z,
// raster, vector, Z speed.
const std::array<std::string, 6> kKx2Texts = {"16000", "12000", "4250", "50000", "10000", "8000"};
const std::array<std::string, 6> kKx3Texts = {"24000", "12000", "4250", "50000", "10000", "8000"};

// A Set right after start: serial field "-----", the KX2 presets, KX2 selected.
const std::vector<Cell> kKx2Writes = {
    // serial number, model marker
    {5, 0x00},
    {6, 0x00},
    {7, 1},
    // max X 16000, max Y 12000, max Z 4250
    {16, 0x3E},
    {17, 0x80},
    {18, 0x2E},
    {19, 0xE0},
    {14, 0x10},
    {15, 0x9A},
    // raster 50000, vector 10000, Z speed 8000
    {20, 0xC3},
    {21, 0x50},
    {22, 0x27},
    {23, 0x10},
    {12, 0x1F},
    {13, 0x40},
    // model code
    {7, 1},
    // singles, least significant byte first
    {32, 0xCD},
    {33, 0xCC},
    {34, 0xCC},
    {35, 0x3C},  // 0.025
    {36, 0x0A},
    {37, 0xD7},
    {38, 0x23},
    {39, 0x3C},  // 0.01
    {40, 0xCD},
    {41, 0xCC},
    {42, 0xCC},
    {43, 0x3C},  // 0.025
    {44, 0xCD},
    {45, 0xCC},
    {46, 0xCC},
    {47, 0x3C},  // 0.025
    {48, 0x0A},
    {49, 0xD7},
    {50, 0xA3},
    {51, 0x3D},  // 0.08
    {52, 0x6F},
    {53, 0x12},
    {54, 0x83},
    {55, 0x3A},  // 0.001
    {56, 0x6F},
    {57, 0x12},
    {58, 0x83},
    {59, 0x3A},  // 0.001
    {60, 0x6F},
    {61, 0x12},
    {62, 0x83},
    {63, 0x3A},  // 0.001
    {64, 0x00},
    {65, 0x00},
    {66, 0x20},
    {67, 0x41},  // 10.0
    {68, 0x00},
    {69, 0x00},
    {70, 0xFA},
    {71, 0x45},  // 8000.0
    {72, 0x00},
    {73, 0x00},
    {74, 0x00},
    {75, 0x3F},  // 0.5
    // bytes; 91 is left alone
    {76, 0x14},
    {77, 0x00},
    {78, 0x00},
    {79, 0x00},
    {80, 0x00},
    {81, 0x00},
    {82, 0x00},
    {83, 0x00},
    {84, 0x00},
    {85, 0x00},
    {86, 0x00},
    {87, 0x00},
    {88, 0x00},
    {89, 0x00},
    {90, 0x01},
    {92, 0x00},
    {93, 0x00},
    {94, 0x28},
    {95, 0x5A}};

// The step of each write of a Set, in order.
std::vector<SetStep> ExpectedSteps() {
  std::vector<SetStep> steps = {SetStep::kSerialNumber, SetStep::kSerialNumber,
                                SetStep::kModelMarker};
  steps.insert(steps.end(), 12, SetStep::kParameter);
  steps.push_back(SetStep::kModelCode);
  steps.insert(steps.end(), 44, SetStep::kFixedSingles);
  steps.insert(steps.end(), 19, SetStep::kFixedBytes);
  return steps;
}

TEST(PlanSet, Kx2RightAfterStartWritesTheNineteenConfigurationCellsThenTheBlock) {
  const SetPlan plan = PlanSet(Texts("-----", kKx2Texts), 1);
  ASSERT_FALSE(plan.refused.has_value());
  ASSERT_EQ(plan.writes.size(), 79u);
  EXPECT_EQ(CellsOf(plan), kKx2Writes);
  std::vector<SetStep> steps;
  for (const SetWrite& write : plan.writes) {
    steps.push_back(write.step);
  }
  EXPECT_EQ(steps, ExpectedSteps());
  // The twelve parameter writes name their fields, two each, in table order.
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(plan.writes[3 + i].field, i / 2) << i;
  }
}

TEST(PlanSet, RewritesEveryFieldInFiveDigitForm) {
  const SetPlan plan = PlanSet(Texts("-----", kKx2Texts), 1);
  EXPECT_EQ(plan.rewritten.serial_number, "00000");
  const std::array<std::string, 6> shown = {"16000", "12000", "04250", "50000", "10000", "08000"};
  EXPECT_EQ(plan.rewritten.parameters, shown);
}

TEST(PlanSet, Kx3DiffersInMaxXAndModelCodeOnly) {
  const SetPlan plan = PlanSet(Texts("-----", kKx3Texts), 2);
  ASSERT_EQ(plan.writes.size(), 79u);
  std::vector<Cell> expected = kKx2Writes;
  expected[3] = {16, 0x5D};
  expected[4] = {17, 0xC0};
  expected[15] = {7, 2};
  EXPECT_EQ(CellsOf(plan), expected);
  EXPECT_EQ(plan.rewritten.parameters[0], "24000");
}

TEST(PlanSet, NoModelSelectedStoresZeroAfterTheMarker) {
  const SetPlan plan = PlanSet(Texts("-----", kKx2Texts), 0);
  ASSERT_EQ(plan.writes.size(), 79u);
  EXPECT_EQ(CellsOf(plan)[2], Cell(7, 1));
  EXPECT_EQ(CellsOf(plan)[15], Cell(7, 0));
}

// Each field goes to its own cells: distinct values show any mix-up.
TEST(PlanSet, EachFieldGoesToItsOwnCellPair) {
  const SetPlan plan = PlanSet(Texts("7", {"1", "2", "3", "4", "5", "6"}), 1);
  ASSERT_EQ(plan.writes.size(), 79u);
  const std::vector<Cell> cells = CellsOf(plan);
  const std::vector<Cell> head(cells.begin(), cells.begin() + 16);
  const std::vector<Cell> expected = {{5, 0},  {6, 7},  {7, 1},  {16, 0}, {17, 1}, {18, 0},
                                      {19, 2}, {14, 0}, {15, 3}, {20, 0}, {21, 4}, {22, 0},
                                      {23, 5}, {12, 0}, {13, 6}, {7, 1}};
  EXPECT_EQ(head, expected);
  const std::array<std::string, 6> shown = {"00001", "00002", "00003", "00004", "00005", "00006"};
  EXPECT_EQ(plan.rewritten.parameters, shown);
  EXPECT_EQ(plan.rewritten.serial_number, "00007");
}

struct SerialCase {
  std::string text;
  int high;
  int low;
  std::string shown;
};

std::ostream& operator<<(std::ostream& out, const SerialCase& c) {
  return out << '"' << c.text << '"';
}

class SerialField : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialField, IsStoredHighByteFirst) {
  const SerialCase& c = GetParam();
  const SetPlan plan = PlanSet(Texts(c.text, kKx2Texts), 1);
  ASSERT_FALSE(plan.refused.has_value());
  ASSERT_EQ(plan.writes.size(), 79u);
  EXPECT_EQ(CellsOf(plan)[0], Cell(5, c.high));
  EXPECT_EQ(CellsOf(plan)[1], Cell(6, c.low));
  EXPECT_EQ(plan.rewritten.serial_number, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SerialField,
    ::testing::Values(
        SerialCase{"4660", 0x12, 0x34, "04660"}, SerialCase{"&H1234", 0x12, 0x34, "04660"},
        SerialCase{"42", 0x00, 0x2A, "00042"}, SerialCase{" 42 ", 0x00, 0x2A, "00042"},
        SerialCase{"255", 0x00, 0xFF, "00255"}, SerialCase{"256", 0x01, 0x00, "00256"},
        SerialCase{"65535", 0xFF, 0xFF, "65535"}, SerialCase{"00000", 0, 0, "00000"},
        SerialCase{"4660.5", 0x12, 0x34, "04660"}, SerialCase{"4659.5", 0x12, 0x34, "04660"},
        SerialCase{"-0.5", 0, 0, "00000"}, SerialCase{"-0.4", 0, 0, "00000"},
        SerialCase{"65535.4", 0xFF, 0xFF, "65535"}, SerialCase{"-----", 0, 0, "00000"},
        SerialCase{"", 0, 0, "00000"}, SerialCase{"abc", 0, 0, "00000"},
        SerialCase{"0x1234", 0, 0, "00000"}, SerialCase{"46 60", 0, 0, "00000"}));

struct RefusedCase {
  std::string serial;
  std::array<std::string, 6> parameters;
  SetEntry refused;
};

std::ostream& operator<<(std::ostream& out, const RefusedCase& c) {
  out << '"' << c.serial << '"';
  for (const std::string& text : c.parameters) {
    out << " \"" << text << '"';
  }
  return out;
}

class OutOfRange : public ::testing::TestWithParam<RefusedCase> {};

// A value with no byte pair is never stored wrapped: nothing at all is written.
TEST_P(OutOfRange, RefusesTheWholeSet) {
  const RefusedCase& c = GetParam();
  const SetPlan plan = PlanSet(Texts(c.serial, c.parameters), 1);
  EXPECT_TRUE(plan.writes.empty());
  ASSERT_TRUE(plan.refused.has_value());
  EXPECT_EQ(*plan.refused, c.refused);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(RewritesField(plan, i));
  }
  // A refused Set leaves every entry as it was typed.
  EXPECT_EQ(plan.rewritten.serial_number, c.serial);
  for (std::size_t i = 0; i < c.parameters.size(); ++i) {
    EXPECT_EQ(plan.rewritten.parameters[i], c.parameters[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, OutOfRange,
    ::testing::Values(RefusedCase{"70000", kKx2Texts, SetEntry{SetStep::kSerialNumber}},
                      RefusedCase{"-1", kKx2Texts, SetEntry{SetStep::kSerialNumber}},
                      RefusedCase{"65536", kKx2Texts, SetEntry{SetStep::kSerialNumber}},
                      RefusedCase{"65535.5", kKx2Texts, SetEntry{SetStep::kSerialNumber}},
                      RefusedCase{"99999999999", kKx2Texts, SetEntry{SetStep::kSerialNumber}},
                      RefusedCase{"&H10000", kKx2Texts, SetEntry{SetStep::kSerialNumber}},
                      RefusedCase{"0",
                                  {"70000", "12000", "4250", "50000", "10000", "8000"},
                                  SetEntry{SetStep::kParameter, 0}},
                      RefusedCase{"0",
                                  {"16000", "12000", "-1", "50000", "10000", "8000"},
                                  SetEntry{SetStep::kParameter, 2}},
                      RefusedCase{"0",
                                  {"16000", "12000", "4250", "50000", "10000", "1e9"},
                                  SetEntry{SetStep::kParameter, 5}},
                      // The first field out of range is the one named.
                      RefusedCase{"0",
                                  {"16000", "-5", "4250", "50000", "99999", "8000"},
                                  SetEntry{SetStep::kParameter, 1}},
                      RefusedCase{"70000",
                                  {"16000", "12000", "4250", "70000", "10000", "8000"},
                                  SetEntry{SetStep::kSerialNumber}}));

TEST(PlanSet, CellNinetyOneIsNeverWrittenAndTheBlockCellsOnce) {
  const SetPlan plan = PlanSet(Texts("-----", kKx2Texts), 1);
  std::map<int, int> writes_per_cell;
  for (const SetWrite& write : plan.writes) {
    ++writes_per_cell[write.address];
  }
  EXPECT_FALSE(writes_per_cell.contains(91));
  for (int address = 32; address <= 95; ++address) {
    if (address != 91) {
      EXPECT_EQ(writes_per_cell[address], 1) << address;
    }
  }
  EXPECT_EQ(writes_per_cell[7], 2);
  // Nothing outside the configuration cells and the block.
  for (const auto& [address, count] : writes_per_cell) {
    EXPECT_TRUE((address >= 5 && address <= 7) || (address >= 12 && address <= 23) ||
                (address >= 32 && address <= 95))
        << address;
  }
}

TEST(RewritesField, MarksTheFirstWriteOfEachFieldStepOnly) {
  const SetPlan plan = PlanSet(Texts("-----", kKx2Texts), 1);
  const std::vector<std::size_t> first_writes = {0, 3, 5, 7, 9, 11, 13};
  for (std::size_t i = 0; i < plan.writes.size() + 3; ++i) {
    const bool expected =
        std::find(first_writes.begin(), first_writes.end(), i) != first_writes.end();
    EXPECT_EQ(RewritesField(plan, i), expected) << i;
  }
}

// The presets hold the texts the model list puts into the fields.
TEST(ModelPresets, HoldTheTextsOfBothModels) {
  const ModelPreset* kx2 = FindPreset("Korimo KX2");
  const ModelPreset* kx3 = FindPreset("Korimo KX3");
  ASSERT_NE(kx2, nullptr);
  ASSERT_NE(kx3, nullptr);
  EXPECT_EQ(kx2->code, 1);
  EXPECT_EQ(kx3->code, 2);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(PresetText(*kx2, i), kKx2Texts[i]) << i;
    EXPECT_EQ(PresetText(*kx3, i), kKx3Texts[i]) << i;
  }
}

}  // namespace
}  // namespace korimo
