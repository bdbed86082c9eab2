// The real main window and its service windows on the real Win32 calls: the
// engraver registered in the registry's device-interface catalogue among
// decoys (engraver_catalogue.h), the simulated board served on a named pipe as
// the live interface's SymbolicLink. The window finds it through the registry,
// reads and stores through the device file, and is driven by its control names.
// Supervision ticks are called directly: no timer of the window fires here.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/service_windows.h"
#include "mainwin/main_window.h"
#include "config/memory_map.h"
#include "config/set_plan.h"
#include "device/modKT90.h"
#include "device/modStream.h"
#include "device/registry_finder.h"
#include "engraver_catalogue.h"
#include "iocheck/io_window.h"
#include "jog/move_window.h"
#include "memedit/mem_edit_window.h"
#include "pipe_board.h"
#include "registry_scratch.h"
#include "tests/support/fake_ports.h"
#include "tests/support/recording_prompts.h"
#include "ui/lamp.h"
#include "ui/locked_combo.h"
#include "ui/text_box.h"
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

std::string BoardPipeName() {
  static int count = 0;
  return "\\\\.\\pipe\\korimo-window-board-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++count);
}

sim::BoardTimings QuickTimings() {
  sim::BoardTimings timings;
  timings.memory_write = sim::Micros{300};
  timings.memory_read = sim::Micros{200};
  return timings;
}

const std::vector<const char*> kFields{"cboMaxX",   "cboMaxY",   "cboMaxZ",
                                       "cboRaster", "cboVector", "cboZSpeed"};

class MainWindowOnPipeBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board_.Start()) << "cannot create the pipe " << board_.Path();
    ASSERT_TRUE(RegisterEngravers(scratch_, board_.Path(), catalogue_));
    window_ = std::make_unique<s>(kt90_, prompts_);
    window_->SetEndProgram([this] { ++ended_; });
    service_ = std::make_unique<app::ServiceWindows>(*window_, kt90_, prompts_);
  }

  void Tick() { window_->tmrStatus_Timer(); }

  // Until the board has seen every connection end; a loaded machine may take
  // more than the board's own one-second wait.
  bool WaitUntilQuiet() {
    for (int attempt = 0; attempt < 30; ++attempt) {
      if (board_.WaitUntilQuiet()) {
        return true;
      }
    }
    return false;
  }

  template <typename T>
  T& Get(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
      ADD_FAILURE() << "no control " << name;
      throw std::runtime_error(name);
    }
    return *found;
  }
  template <typename T>
  T& Get(const char* name) {
    return Get<T>(*window_, name);
  }
  QString Status() { return Get<QLabel>("lblStatus").text(); }
  QColor Lamp() { return Get<ui::Lamp>("shpConnected").FillColor(); }
  QString Serial() { return Get<ui::TextBox>("txtSN").text(); }

  std::vector<QString> FieldTexts() {
    std::vector<QString> texts;
    for (const char* name : kFields) {
      texts.push_back(Get<ui::LockedCombo>(name).Text());
    }
    return texts;
  }

  void StoreWord(std::uint8_t address, unsigned value) {
    board_.WithBoard([&](sim::Board& board) {
      board.SetCell(address, static_cast<std::uint8_t>(value / 256));
      board.SetCell(static_cast<std::uint8_t>(address + 1), static_cast<std::uint8_t>(value % 256));
    });
  }

  // A configuration unlike either model's presets.
  void StoreConfiguration(unsigned serial, std::uint8_t model, unsigned max_x) {
    StoreWord(5, serial);
    board_.WithBoard([&](sim::Board& board) { board.SetCell(7, model); });
    StoreWord(16, max_x);
    StoreWord(18, 11000);
    StoreWord(14, 4250);
    StoreWord(20, 50000);
    StoreWord(22, 9000);
    StoreWord(12, 7000);
  }

  void SetLinked(const std::string& instance, std::uint32_t linked) {
    ASSERT_TRUE(scratch_.SetDword(instance + "\\#\\Control", "Linked", linked));
  }

  PipeBoard board_{BoardPipeName(), QuickTimings()};
  RegistryScratch scratch_;
  EngraverCatalogue catalogue_;
  win32::RegistryCatalogue registry_;
  win32::Win32DeviceFiles files_;
  testing::ScriptedPump pump_;
  testing::RecordingPrompts prompts_;
  RegistryFinder finder_{registry_};
  modKT90 kt90_{finder_, files_, pump_};
  std::unique_ptr<s> window_;
  std::unique_ptr<app::ServiceWindows> service_;
  int ended_ = 0;
};

TEST_F(MainWindowOnPipeBoard, FindsReadsAndSetsTheEngraverByteForByte) {
  Tick();
  EXPECT_EQ(Lamp(), ui::kLampOn);
  EXPECT_EQ(Status(), "Connected");
  EXPECT_EQ(Serial(), "-----");  // no automatic Read at start

  StoreConfiguration(4660, memory::kModelKX2, 20000);
  QTest::mouseClick(&Get<QPushButton>("cmdRead"), Qt::LeftButton);
  EXPECT_EQ(Serial(), "04660");
  EXPECT_EQ(Get<QLabel>("lblSN_High").text(), "0x12");
  EXPECT_EQ(Get<QLabel>("lblSN_Low").text(), "0x34");
  EXPECT_EQ(FieldTexts(),
            (std::vector<QString>{"20000", "11000", "04250", "50000", "09000", "07000"}));
  EXPECT_TRUE(board_.Received().empty());  // a Read writes nothing

  // Model KX3 applies its presets; Set stores them with the serial number.
  auto& models = Get<QListWidget>("lstModel");
  models.setCurrentRow(1);
  ASSERT_EQ(FieldTexts(),
            (std::vector<QString>{"24000", "12000", "4250", "50000", "10000", "8000"}));
  board_.WithBoard([](sim::Board& board) {
    for (unsigned address = 0; address < sim::kMemorySize; ++address) {
      board.SetCell(static_cast<std::uint8_t>(address), 0xFF);
    }
  });
  board_.ResetLog();
  QElapsedTimer timer;
  timer.start();
  QTest::mouseClick(&Get<QPushButton>("cmdWrite"), Qt::LeftButton);
  const double set_ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  // One status read: the board has taken every packet sent before it once it
  // returns (a client's flush returns before the server has seen the data).
  static_cast<void>(kt90_.IsControllerBusy());
  ASSERT_TRUE(WaitUntilQuiet());
  // A figure, not a limit.
  std::printf("figure: Set through the window on the pipe board, 79 writes: %.0f ms\n", set_ms);

  const SetPlan plan =
      PlanSet({"04660", {"24000", "12000", "4250", "50000", "10000", "8000"}}, memory::kModelKX3);
  ASSERT_EQ(plan.writes.size(), kSetWriteCount);
  std::vector<Bytes> expected;
  for (const SetWrite& write : plan.writes) {
    const auto packet = MemoryWritePacket(write.address, write.value);
    expected.emplace_back(packet.begin(), packet.end());
  }
  const std::vector<Bytes> received = board_.Received();
  EXPECT_EQ(received.size(), expected.size());
  for (std::size_t i = 0; i < std::min(expected.size(), received.size()); ++i) {
    EXPECT_EQ(received[i], expected[i]) << "write " << i << " of the Set";
  }
  EXPECT_FALSE(window_->SetInProgress());

  // What the board now holds reads back as stored.
  board_.WithBoard([](sim::Board& board) {
    EXPECT_EQ(board.Cell(5), 0x12);
    EXPECT_EQ(board.Cell(6), 0x34);
    EXPECT_EQ(board.Cell(memory::kModelCode), memory::kModelKX3);
    EXPECT_EQ(board.Cell(16) * 256 + board.Cell(17), 24000);
  });
  models.setCurrentRow(0);
  QTest::mouseClick(&Get<QPushButton>("cmdRead"), Qt::LeftButton);
  EXPECT_EQ(models.currentRow(), 1);
  EXPECT_EQ(Get<ui::LockedCombo>("cboMaxX").Text(), "24000");
  EXPECT_EQ(Serial(), "04660");
}

// The live instance unlinked: the search goes on to the next active engraver
// registered after it, so that one is unlinked too before the window searches.
TEST_F(MainWindowOnPipeBoard, UnlinkedEngraverIsSearchedForAndItsReturnRead) {
  Tick();
  ASSERT_EQ(Status(), "Connected");
  SetLinked(catalogue_.live_instance, 0);
  SetLinked(catalogue_.second_instance, 0);
  Tick();
  EXPECT_EQ(Lamp(), ui::kLampOff);
  EXPECT_EQ(Status(), "Searching...");
  EXPECT_FALSE(Get<QPushButton>("cmdRead").isEnabled());

  StoreConfiguration(4661, memory::kModelKX2, 19000);
  SetLinked(catalogue_.live_instance, 1);
  Tick();
  EXPECT_EQ(Lamp(), ui::kLampOn);
  EXPECT_EQ(Status(), "Connected");
  EXPECT_TRUE(Get<QPushButton>("cmdRead").isEnabled());
  // The arrival's automatic Read, through the pipe.
  EXPECT_EQ(Serial(), "04661");
  EXPECT_EQ(Get<ui::LockedCombo>("cboMaxX").Text(), "19000");
  EXPECT_EQ(Get<QLabel>("lblSN_Low").text(), "0x35");
}

TEST_F(MainWindowOnPipeBoard, ServiceWindowsOpenByShortcutAndMenuOnTheSameBoard) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Tick();
  board_.WithBoard([](sim::Board& board) {
    board.SetPosition(sim::Axis::kX, 12345);
    board.SetPosition(sim::Axis::kZ, 4250);
    board.SetInputs(inputs::kPowerKey);
    board.SetCell(0x20, 0xC5);
  });

  QTest::keyClick(window_.get(), Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier);
  frmMove* jog = service_->jog.Window();
  ASSERT_NE(jog, nullptr);
  EXPECT_TRUE(jog->isVisible());
  EXPECT_EQ(jog->windowTitle(), "Home");
  jog->tmrMove_Timer();
  const QString point = QLocale().decimalPoint();
  EXPECT_EQ(Get<QLabel>(*jog, "lblPositionX").text(), "12" + point + "345");
  EXPECT_EQ(Get<QLabel>(*jog, "lblPositionZ").text(), "04" + point + "250");

  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
  frmIO* io = service_->io.Window();
  ASSERT_NE(io, nullptr);
  EXPECT_TRUE(io->isVisible());
  EXPECT_EQ(io->windowTitle(), "I/O Verification");
  io->tmrStatus_Timer();
  // A lit key lamp: green, with the thick border.
  EXPECT_EQ(Get<ui::Lamp>(*io, "shpKeyPower").BackColor(), ui::kLampOn);
  EXPECT_NE(Get<ui::Lamp>(*io, "shpKeyUp").BackColor(), ui::kLampOn);
  EXPECT_GT(Get<ui::Lamp>(*io, "shpKeyPower").BorderWidth(),
            Get<ui::Lamp>(*io, "shpKeyUp").BorderWidth());
  EXPECT_EQ(Get<ui::Lamp>(*io, "shpConnected").FillColor(), ui::kLampOn);

  // The hidden menu's item: the editor is modal, so it is looked at from
  // inside its own event loop, then closed.
  QString first_row;
  QString title;
  QTimer::singleShot(0, [&] {
    auto* editor = qobject_cast<frmMemEdit*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    title = editor->windowTitle();
    for (QLabel* row : editor->findChildren<QLabel*>(QStringLiteral("lblAddr"))) {
      if (row->property("index").toInt() == 0) {
        first_row = row->text();
      }
    }
    Get<QPushButton>(*editor, "cmdClose").click();
  });
  Get<QAction>("mnuEEPromEdit").trigger();
  EXPECT_EQ(title, "Korimo Parameter Memory");
  EXPECT_TRUE(first_row.startsWith("0x20: 0xC5")) << first_row.toStdString();
  // The editor read the block 0x20..0x5F through the pipe, one cell at a time.
  EXPECT_EQ(board_.WithBoard([](sim::Board& board) { return board.Counts().memory_reads; }), 64u);
  EXPECT_EQ(ended_, 0);
}

}  // namespace
}  // namespace korimo::win32test
