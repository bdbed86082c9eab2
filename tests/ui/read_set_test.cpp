// Read and Set of the configuration window against the simulated board.
#include <QTest>
#include <QToolButton>
#include <functional>
#include <utility>

#include "config/memory_map.h"
#include "tests/ui/window_fixture.h"

namespace korimo::test {
namespace {

class ReadTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Tick();  // the engraver is found; no automatic Read at start
  }

  // A board with a configuration unlike either preset.
  void StoreConfiguration(std::uint8_t model) {
    SetWord(5, 4660);
    Board().SetCell(7, model);
    SetWord(16, 20000);
    SetWord(18, 11000);
    SetWord(14, 4250);
    SetWord(20, 50000);
    SetWord(22, 9000);
    SetWord(12, 7000);
  }
  const std::vector<QString> kRead{"20000", "11000", "04250", "50000", "09000", "07000"};
  const std::vector<QString> kKX2{"16000", "12000", "4250", "50000", "10000", "8000"};
  const std::vector<QString> kKX3{"24000", "12000", "4250", "50000", "10000", "8000"};
};

TEST_F(ReadTest, FillsTheSevenFieldsFromEightStatusReads) {
  StoreConfiguration(memory::kModelKX2);
  platform_.GetFiles().ResetCounts();
  QTest::mouseClick(&Button("cmdRead"), Qt::LeftButton);
  EXPECT_EQ(SerialField().text(), "04660");
  EXPECT_EQ(Label("lblSN_High").text(), "0x12");
  EXPECT_EQ(Label("lblSN_Low").text(), "0x34");
  EXPECT_EQ(Spin().Value(), 4660);
  // KX2 is selected already and the board says KX2: the values read stay.
  EXPECT_EQ(FieldTexts(), kRead);
  EXPECT_EQ(ModelList().currentRow(), 0);
  EXPECT_EQ(platform_.GetFiles().Counts().reads, 8u);
  EXPECT_TRUE(MemoryWrites().empty());
  // Read fills the fields but leaves their enabled state alone.
  EXPECT_FALSE(Combo("cboMaxX").isEnabled());
}

TEST_F(ReadTest, ModelCodeOfTheOtherModelAppliesItsPresets) {
  StoreConfiguration(memory::kModelKX3);
  window_->cmdRead_Click();
  EXPECT_EQ(ModelList().currentRow(), 1);
  EXPECT_EQ(FieldTexts(), kKX3);
  EXPECT_EQ(SerialField().text(), "04660");
}

// Every entry is compared, the top one too: a KX2 board read while KX3 is
// selected selects KX2 (so a following Set keeps the board's model).
TEST_F(ReadTest, ModelCodeOfTheTopEntryIsMatchedToo) {
  ModelList().setCurrentRow(1);
  StoreConfiguration(memory::kModelKX2);
  window_->cmdRead_Click();
  EXPECT_EQ(ModelList().currentRow(), 0);
  EXPECT_EQ(FieldTexts(), kKX2);

  EraseBoard();
  window_->cmdWrite_Click();
  EXPECT_EQ(Board().Cell(memory::kModelCode), memory::kModelKX2);
}

TEST_F(ReadTest, UnknownModelCodesLeaveTheSelection) {
  for (std::uint8_t code : {std::uint8_t{0}, std::uint8_t{7}}) {
    for (int row : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << "code " << int{code} << " row " << row);
      ModelList().setCurrentRow(row);
      StoreConfiguration(code);
      window_->cmdRead_Click();
      EXPECT_EQ(ModelList().currentRow(), row);
      EXPECT_EQ(FieldTexts(), kRead);
    }
  }
}

// A Read is all or nothing: when any of its eight status reads gets no answer
// the window keeps what it showed and says so once; an answer on a later try
// reads as on a clean line.
TEST_F(ReadTest, AReadThatDidNotGetAllEightValuesChangesNothing) {
  enum class Line { kPlugged, kArrival, kUnplugged, kEmptyPath };
  struct Case {
    const char* name;
    Line line;
    std::uint32_t strike_at;  // the status read (from 0) that a short read hits
    sim::FaultSpan span;
    bool answered;
  };
  const std::vector<Case> cases{
      {"model code short on every try", Line::kPlugged, 7, sim::FaultSpan::Times(kStatusTries),
       false},
      {"serial number short once", Line::kPlugged, 0, sim::FaultSpan::Once(), true},
      {"arrival, raster speed short on every try", Line::kArrival, 4,
       sim::FaultSpan::Times(kStatusTries), false},
      {"unplugged", Line::kUnplugged, 0, sim::FaultSpan::Never(), false},
      // Another window's tick saw a brief removal that this one missed: Read
      // looks for the engraver before asking it.
      {"empty device path", Line::kEmptyPath, 0, sim::FaultSpan::Never(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeWindow();
    Tick();
    prompts_.calls.clear();
    StoreConfiguration(memory::kModelKX3);  // a KX3 board while KX2 is selected
    if (c.line == Line::kArrival) {
      platform_.Unplug();
      Tick();
      platform_.Plug();
    } else if (c.line != Line::kPlugged) {
      platform_.Unplug();
      if (c.line == Line::kEmptyPath) {
        kt90_.IsDeviceConnected();
        platform_.Plug();
      }
    }
    const QString serial = SerialField().text();
    const std::vector<QString> fields = FieldTexts();
    const QString high = Label("lblSN_High").text();
    Files().SetOpenHook([&, reads = 0u](const std::string&, const OpenParameters& params) mutable {
      if (params == kReadOpen && reads++ == c.strike_at) {
        Files().ShortReads(c.span, 16);
      }
    });
    if (c.line == Line::kArrival) {
      Tick();
    } else {
      window_->cmdRead_Click();
    }
    Files().SetOpenHook(nullptr);
    Files().ClearFaults();
    if (c.line == Line::kUnplugged) {
      platform_.Plug();
    }

    if (c.answered) {
      EXPECT_EQ(ModelList().currentRow(), 1);
      EXPECT_EQ(SerialField().text(), "04660");
      EXPECT_TRUE(prompts_.calls.empty());
      continue;
    }
    // Nothing changed, and the message says so instead of a silent 0.
    EXPECT_EQ(ModelList().currentRow(), 0);
    EXPECT_EQ(SerialField().text(), serial);
    EXPECT_EQ(FieldTexts(), fields);
    EXPECT_EQ(Label("lblSN_High").text(), high);
    ASSERT_EQ(prompts_.calls.size(), 1u);
    EXPECT_EQ(prompts_.calls[0].text, ReadNoAnswerMessage(""));
    EXPECT_EQ(prompts_.calls[0].title, "") << "the application title";
  }
}

class SetTest : public ReadTest {
 protected:
  void SetUp() override {
    ReadTest::SetUp();
    StoreConfiguration(memory::kModelKX2);
    window_->cmdRead_Click();
    EraseBoard();
    platform_.GetFiles().ClearLog();
  }

  // The serial number, the model marker and the six words, in Set order.
  static std::vector<MemoryWrite> FieldWrites(std::uint8_t serial_high, std::uint8_t serial_low,
                                              std::uint8_t max_x_high, std::uint8_t max_x_low,
                                              std::uint8_t model) {
    return {{5, serial_high}, {6, serial_low}, {7, 1},     {16, max_x_high},
            {17, max_x_low},  {18, 0x2E},      {19, 0xE0}, {14, 0x10},
            {15, 0x9A},       {20, 0xC3},      {21, 0x50}, {22, 0x27},
            {23, 0x10},       {12, 0x1F},      {13, 0x40}, {7, model}};
  }

  // Selects `row` afresh, so its presets are applied even when it was selected.
  void ApplyModel(int row) {
    ModelList().setCurrentRow(-1);
    ModelList().setCurrentRow(row);
  }

  void ExpectFixedBlock() {
    const auto factory = sim::Board::FactoryImage();
    for (unsigned address = 32; address <= 95; ++address) {
      SCOPED_TRACE(address);
      const std::uint8_t expected = address == 91 ? 0xFF : factory[address];
      EXPECT_EQ(Board().Cell(static_cast<std::uint8_t>(address)), expected);
    }
  }
};

TEST_F(SetTest, SeventyNineWritesWithKX2) {
  ApplyModel(0);
  QTest::mouseClick(&Button("cmdWrite"), Qt::LeftButton);
  const std::vector<MemoryWrite> writes = MemoryWrites();
  ASSERT_EQ(writes.size(), 79u);
  const std::vector<MemoryWrite> fields(writes.begin(), writes.begin() + 16);
  EXPECT_EQ(fields, FieldWrites(0x12, 0x34, 0x3E, 0x80, 1));
  // The single 0.5 at 72..75: four cells, lowest first.
  const std::vector<MemoryWrite> half(writes.begin() + 56, writes.begin() + 60);
  EXPECT_EQ(half, (std::vector<MemoryWrite>{{72, 0}, {73, 0}, {74, 0}, {75, 0x3F}}));
  EXPECT_EQ(writes.back(), (MemoryWrite{95, 90}));
  ExpectFixedBlock();
  // Each field rewritten in five digits.
  EXPECT_EQ(FieldTexts(),
            (std::vector<QString>{"16000", "12000", "04250", "50000", "10000", "08000"}));
  EXPECT_EQ(SerialField().text(), "04660");
  EXPECT_TRUE(prompts_.calls.empty());
  EXPECT_EQ(Board().Counts().memory_writes, 79u);
}

TEST_F(SetTest, KX3StoresItsTravelAndModelCode) {
  ModelList().setCurrentRow(1);
  window_->cmdWrite_Click();
  const std::vector<MemoryWrite> writes = MemoryWrites();
  ASSERT_EQ(writes.size(), 79u);
  EXPECT_EQ(std::vector<MemoryWrite>(writes.begin(), writes.begin() + 16),
            FieldWrites(0x12, 0x34, 0x5D, 0xC0, 2));
  EXPECT_EQ(Board().Cell(7), 2);
  EXPECT_EQ(Combo("cboMaxX").Text(), "24000");
}

TEST_F(SetTest, NoModelSelectedStoresModelCodeZero) {
  ModelList().setCurrentRow(-1);
  window_->cmdWrite_Click();
  ASSERT_EQ(MemoryWrites().size(), 79u);
  EXPECT_EQ(MemoryWrites()[15], (MemoryWrite{7, 0}));
  EXPECT_EQ(Board().Cell(7), 0);
}

// Each field is rewritten just before its own bytes go out, not earlier.
TEST_F(SetTest, FieldTextRewrittenBeforeItsBytes) {
  std::vector<std::pair<std::uint32_t, QString>> seen;
  pump_.action = [&](int) {
    seen.emplace_back(Board().Counts().memory_writes, Combo("cboMaxZ").Text());
  };
  ApplyModel(0);  // cboMaxZ shows "4250"
  window_->cmdWrite_Click();
  ASSERT_EQ(seen.size(), 79u);  // one wait per write: the board is never busy
  EXPECT_EQ(seen[6], std::make_pair(6u, QString("4250")));   // before Y's low byte
  EXPECT_EQ(seen[7], std::make_pair(7u, QString("04250")));  // before Z's high byte
}

TEST_F(SetTest, ButtonsHeldDisabledDuringTheSet) {
  std::vector<bool> enabled;
  pump_.action = [&](int) {
    enabled.push_back(Button("cmdRead").isEnabled() || Button("cmdWrite").isEnabled() ||
                      Button("CmdClearID").isEnabled());
    EXPECT_TRUE(window_->SetInProgress());
  };
  window_->cmdWrite_Click();
  EXPECT_EQ(enabled, std::vector<bool>(79, false));
  EXPECT_TRUE(Button("cmdRead").isEnabled());
  EXPECT_TRUE(Button("cmdWrite").isEnabled());
  EXPECT_TRUE(Button("CmdClearID").isEnabled());
  EXPECT_FALSE(window_->SetInProgress());
}

// Nothing the Set has read can change while it waits on the controller: a
// click on the other model, typing into the serial field and a step of the spin
// control in the middle of it do nothing. The engraver stores what the window
// showed when Set was clicked, and the window shows it afterwards.
TEST_F(SetTest, WhatTheSetReadsIsHeldUntilItEnds) {
  window_->show();
  ApplyModel(0);
  QListWidget& list = ModelList();
  const QPoint kx3 = list.visualItemRect(list.item(1)).center();
  const std::vector<const char*> held{"lstModel", "txtSN", "udSN", "cmdRead", "cmdWrite"};
  pump_.action = [&](int yield) {
    if (yield == 2) {  // after the serial number, before the six fields
      for (const char* name : held) {
        EXPECT_FALSE(Get<QWidget>(name).isEnabled()) << name;
      }
      QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, kx3);
      QTest::keyClicks(&SerialField(), "9");
      QTest::mouseClick(Spin().UpArrow(), Qt::LeftButton);
    }
  };
  QTest::mouseClick(&Button("cmdWrite"), Qt::LeftButton);
  const std::vector<MemoryWrite> writes = MemoryWrites();
  ASSERT_EQ(writes.size(), 79u);
  EXPECT_EQ(std::vector<MemoryWrite>(writes.begin(), writes.begin() + 16),
            FieldWrites(0x12, 0x34, 0x3E, 0x80, memory::kModelKX2));
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_EQ(FieldTexts(),
            (std::vector<QString>{"16000", "12000", "04250", "50000", "10000", "08000"}));
  EXPECT_EQ(SerialField().text(), "04660");
  EXPECT_EQ(Spin().Value(), 4660);
  // Given back as they were, and they work again.
  for (const char* name : held) {
    EXPECT_TRUE(Get<QWidget>(name).isEnabled()) << name;
  }
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, kx3);
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(Combo("cboMaxX").Text(), "24000");
}

// What looks selected is what Set stores: as in a list box of the platform the
// tool comes from, no gesture takes the selection away from the model list.
TEST_F(SetTest, TheModelSelectionCannotBeClearedByTheUser) {
  window_->show();
  QListWidget& list = ModelList();
  const std::vector<std::pair<const char*, std::function<void()>>> gestures{
      {"Ctrl+click on the selected entry",
       [&] {
         QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                           list.visualItemRect(list.item(0)).center());
       }},
      {"Ctrl+Space", [&] { QTest::keyClick(&list, Qt::Key_Space, Qt::ControlModifier); }},
      {"click below the entries",
       [&] {
         QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                           QPoint(5, list.viewport()->height() - 3));
       }},
  };
  for (const auto& [name, gesture] : gestures) {
    SCOPED_TRACE(name);
    ApplyModel(0);
    platform_.GetFiles().ClearLog();
    gesture();
    ASSERT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(list.selectedItems().front(), list.item(0));
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_FALSE(Combo("cboMaxX").isEnabled());
    window_->cmdWrite_Click();
    ASSERT_EQ(MemoryWrites().size(), 79u);
    EXPECT_EQ(MemoryWrites()[15], (MemoryWrite{7, memory::kModelKX2}));
  }
}

// The serial number is committed first, as leaving the field would: a typed
// number beyond 65535 is stored clamped, never wrapped.
TEST_F(SetTest, TypedSerialNumberIsCommittedFirst) {
  window_->show();
  SerialField().setFocus();
  SerialField().selectAll();
  QTest::keyClicks(&SerialField(), "70000");
  ASSERT_EQ(SerialField().text(), "70000");
  QTest::mouseClick(&Button("cmdWrite"), Qt::LeftButton);
  ASSERT_EQ(MemoryWrites().size(), 79u);
  EXPECT_EQ(MemoryWrites()[0], (MemoryWrite{5, 0xFF}));
  EXPECT_EQ(MemoryWrites()[1], (MemoryWrite{6, 0xFF}));
  EXPECT_EQ(SerialField().text(), "65535");
  EXPECT_EQ(Spin().Value(), 65535);
}

TEST_F(SetTest, SerialNumberComesFromTheFieldText) {
  SerialField().setText("00042");  // as typed, not yet committed
  window_->cmdWrite_Click();
  EXPECT_EQ(MemoryWrites()[0], (MemoryWrite{5, 0x00}));
  EXPECT_EQ(MemoryWrites()[1], (MemoryWrite{6, 0x2A}));
  EXPECT_EQ(Label("lblSN_Low").text(), "0x2A");
}

TEST_F(SetTest, NoEngraverSendsNothingButRewritesTheTexts) {
  platform_.Unplug();
  Combo("cboMaxZ").SetText("4250");
  window_->cmdWrite_Click();
  EXPECT_TRUE(MemoryWrites().empty());
  EXPECT_EQ(Combo("cboMaxZ").Text(), "04250");
  ASSERT_EQ(prompts_.calls.size(), 1u);
  EXPECT_EQ(prompts_.calls[0].text,
            "None of the 79 values reached the engraver. Set again once the engraver is "
            "connected.");
}

// The engraver is lost after the 20th write: the writes go on unchanged (no
// retry, nothing read back), and one message says how far the Set got.
TEST_F(SetTest, ASetCutShortSaysHowManyValuesReachedTheEngraver) {
  platform_.GetFiles().SetOpenHook([this](const std::string&, const OpenParameters&) {
    if (Board().Counts().memory_writes == 20 && platform_.Plugged()) {
      platform_.Unplug();
    }
  });
  window_->cmdWrite_Click();
  EXPECT_EQ(MemoryWrites().size(), 20u);
  EXPECT_EQ(Board().Counts().memory_reads, 0u);
  ASSERT_EQ(prompts_.calls.size(), 1u);
  EXPECT_EQ(prompts_.calls[0].text,
            "Only 20 of the 79 values reached the engraver. Set again once the engraver is "
            "connected.");
  EXPECT_EQ(prompts_.calls[0].title, "");
  EXPECT_EQ(prompts_.calls[0].buttons, MessageButtons::kOk);
  EXPECT_FALSE(window_->SetInProgress());

  // A whole Set says nothing.
  prompts_.calls.clear();
  platform_.Plug();
  platform_.GetFiles().SetOpenHook({});
  Tick();
  window_->cmdWrite_Click();
  EXPECT_TRUE(prompts_.calls.empty());
}

// A value that has no byte pair stops the Set before anything is written.
TEST_F(SetTest, OutOfRangeFieldRefusesTheWholeSet) {
  Combo("cboZSpeed").SetText("70000");
  window_->cmdWrite_Click();
  EXPECT_TRUE(MemoryWrites().empty());
  ASSERT_EQ(prompts_.calls.size(), 1u);
  EXPECT_NE(prompts_.calls[0].text.find("Z Speed (0.001 in/sec)"), std::string::npos);
  EXPECT_EQ(Combo("cboZSpeed").Text(), "70000");
  EXPECT_TRUE(Button("cmdWrite").isEnabled());
}

class SetWithoutSerialTest : public ReadTest {};

// Right after start no Read has run: the field holds the placeholder and Set
// would store 0 over the board's serial number. It stores nothing and says why.
TEST_F(SetWithoutSerialTest, PlaceholderStopsTheSet) {
  ASSERT_EQ(SerialField().text(), "-----");
  QTest::mouseClick(&Button("cmdWrite"), Qt::LeftButton);
  EXPECT_TRUE(MemoryWrites().empty());
  ASSERT_EQ(prompts_.calls.size(), 1u);
  EXPECT_TRUE(prompts_.calls[0].is_message);
  EXPECT_EQ(prompts_.calls[0].text,
            "Enter the serial number, or Read it from the engraver, before Set.");
  EXPECT_EQ(prompts_.calls[0].title, "");  // the application title
  EXPECT_EQ(prompts_.calls[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(SerialField().text(), "-----");
  EXPECT_EQ(Board().Cell(5), 0x12);
}

// Leaving the placeholder field puts the spin control's starting value in its
// place (00000), which is no serial number either: clicking Set straight from
// the field, or after tabbing out of it, stores nothing.
TEST_F(SetWithoutSerialTest, StartingValueInThePlaceholdersPlaceStopsTheSet) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  SerialField().setFocus();
  QTest::mouseClick(&Button("cmdWrite"), Qt::LeftButton);
  EXPECT_EQ(SerialField().text(), "00000");  // committed on the way out
  SerialField().setFocus();
  QTest::keyClick(&SerialField(), Qt::Key_Tab);
  window_->cmdWrite_Click();
  EXPECT_TRUE(MemoryWrites().empty());
  EXPECT_EQ(prompts_.calls.size(), 2u);
  EXPECT_FALSE(window_->SerialNumberGiven());

  // A 0 typed on purpose goes out.
  SerialField().setFocus();
  SerialField().selectAll();
  QTest::keyClicks(&SerialField(), "0");
  QTest::mouseClick(&Button("cmdWrite"), Qt::LeftButton);
  ASSERT_EQ(MemoryWrites().size(), 79u);
  EXPECT_EQ(MemoryWrites()[0], (MemoryWrite{5, 0}));
  EXPECT_EQ(MemoryWrites()[1], (MemoryWrite{6, 0}));
  EXPECT_EQ(prompts_.calls.size(), 2u);
}

TEST_F(SetWithoutSerialTest, SteppedSerialNumberIsGiven) {
  window_->show();
  QTest::mouseClick(Spin().UpArrow(), Qt::LeftButton);
  EXPECT_EQ(SerialField().text(), "00001");
  window_->cmdWrite_Click();
  ASSERT_EQ(MemoryWrites().size(), 79u);
  EXPECT_EQ(MemoryWrites()[1], (MemoryWrite{6, 1}));
}

TEST_F(SetWithoutSerialTest, TypedNumberWithoutLeavingTheFieldIsGiven) {
  SerialField().setFocus();
  SerialField().selectAll();
  QTest::keyClicks(&SerialField(), "42");
  window_->cmdWrite_Click();
  ASSERT_EQ(MemoryWrites().size(), 79u);
  EXPECT_EQ(MemoryWrites()[1], (MemoryWrite{6, 42}));
  EXPECT_TRUE(prompts_.calls.empty());
}

TEST_F(SetWithoutSerialTest, EmptiedFieldStopsTheSet) {
  SerialField().setText("");
  window_->cmdWrite_Click();
  EXPECT_TRUE(MemoryWrites().empty());
  EXPECT_EQ(prompts_.calls.size(), 1u);
}

}  // namespace
}  // namespace korimo::test
