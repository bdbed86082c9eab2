// The main window `s` on the libusb back end, against a simulated engraver on
// umockdev's bus: supervision, the automatic Read, a Set cut short by an
// unplugging, and the status tooltip of an engraver the user may not open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "mainwin/main_window.h"
#include "device/modKT90.h"
#include "tests/support/fake_ports.h"
#include "tests/support/recording_prompts.h"
#include "tests/usb/usb_testbed.h"
#include "ui/lamp.h"
#include "ui/locked_combo.h"
#include "ui/text_box.h"
#include "usb/usb_engraver.h"

namespace korimo::usbtest {
namespace {

class UsbWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testbed_ = new UsbTestbed(); }
  static void TearDownTestSuite() {
    delete testbed_;
    testbed_ = nullptr;
  }

  static UsbPlace NewPlace() {
    static unsigned next_address = 40;
    UsbPlace place;
    place.address = next_address++;
    return place;
  }

  UsbWindowTest() {
    window_.SetEndProgram([] {});
  }

  void TearDown() override {
    if (plugged_) {
      testbed_->Unplug(board_);
    }
  }

  void Plug() {
    testbed_->Plug(board_);
    plugged_ = true;
  }
  void Unplug() {
    testbed_->Unplug(board_);
    plugged_ = false;
  }

  // One supervision tick, as the status timer gives it.
  void Tick() { window_.tmrStatus_Timer(); }

  template <typename T>
  T& Get(const char* name) {
    T* found = window_.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
      throw std::runtime_error(name);
    }
    return *found;
  }
  QString Status() { return Get<QLabel>("lblStatus").text(); }
  bool LampOn() { return Get<ui::Lamp>("shpConnected").FillColor() == ui::kLampOn; }
  QString Field(const char* name) { return Get<ui::LockedCombo>(name).Text(); }
  QString Serial() { return Get<ui::TextBox>("txtSN").text(); }

  static UsbTestbed* testbed_;
  UsbBoard board_{NewPlace()};
  bool plugged_ = false;
  usb::UsbEngraver usb_{usb::UsbOptions{std::chrono::milliseconds(100)}};
  korimo::testing::ScriptedPump pump_;
  modKT90 kt90_{usb_, usb_, pump_};
  korimo::testing::RecordingPrompts prompts_;
  s window_{kt90_, prompts_};
};

UsbTestbed* UsbWindowTest::testbed_ = nullptr;

TEST_F(UsbWindowTest, ArrivalReadsAndAnUnpluggedSetEndsAndAReplugReadsAgain) {
  Tick();
  EXPECT_EQ(Status(), "Searching...");
  Plug();
  Tick();
  EXPECT_TRUE(LampOn());
  EXPECT_EQ(Status(), "Connected");
  // The arrival read the factory image: a KX2 with serial number 4660.
  EXPECT_EQ(Serial(), "04660");
  EXPECT_EQ(Field("cboMaxX"), "16000");
  EXPECT_EQ(Field("cboZSpeed"), "08000");
  {
    auto lock = board_.Lock();
    board_.Board().SetCell(16, 0x5D);  // max X 24000
    board_.Board().SetCell(17, 0xC0);
  }
  Get<QPushButton>("cmdRead").click();
  EXPECT_EQ(Field("cboMaxX"), "24000");

  // Unplugged at the tenth packet of the Set: the Set ends, nothing hangs.
  Get<ui::TextBox>("txtSN").setText("00077");
  board_.GoneAtPacket(10);
  window_.cmdWrite_Click();
  EXPECT_EQ(board_.Packets().size(), 9u);
  EXPECT_FALSE(usb_.Holding());
  // The next tick searches, before the system has even announced the removal
  // (the node is still listed, but answers nothing), and after it.
  Tick();
  EXPECT_FALSE(LampOn());
  EXPECT_EQ(Status(), "Searching...");
  EXPECT_EQ(Get<QLabel>("lblStatus").toolTip(), "");
  Unplug();
  Tick();
  EXPECT_EQ(Status(), "Searching...");

  Plug();
  Tick();
  EXPECT_TRUE(LampOn());
  EXPECT_EQ(Status(), "Connected");
  EXPECT_EQ(Serial(), "00077");  // read again: the serial number had landed
  EXPECT_EQ(Get<QLabel>("lblStatus").toolTip(), "");
}

// Run as nobody by the usb_window_tests_unprivileged entry.
TEST_F(UsbWindowTest, UnprivilegedUserSeesWhyInTheStatusTooltip) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root may open any device node";
  }
  Tick();
  Plug();
  testbed_->ChangeMode(board_, 0444);
  QStringList told;
  QObject::connect(&window_, &s::DeviceTroubleChanged,
                   [&](const QString& trouble) { told << trouble; });
  Tick();
  Tick();
  EXPECT_FALSE(LampOn());
  EXPECT_FALSE(Get<QPushButton>("cmdRead").isEnabled());
  const QString tip = Get<QLabel>("lblStatus").toolTip();
  EXPECT_TRUE(tip.startsWith(QString::fromStdString("The engraver at " + board_.Place().Node() +
                                                    " cannot be opened: no permission; install "
                                                    "60-korimo.rules")))
      << tip.toStdString();
  EXPECT_EQ(Get<ui::Lamp>("shpConnected").toolTip(), tip);
  EXPECT_EQ(told, QStringList{tip});  // once, not on every tick

  testbed_->ChangeMode(board_, 0666);  // the rule is in place and the engraver replugged
  Tick();
  EXPECT_TRUE(LampOn());
  EXPECT_EQ(Get<QLabel>("lblStatus").toolTip(), "");
  EXPECT_EQ(Serial(), "04660");
}

}  // namespace
}  // namespace korimo::usbtest
