// The serial number field, its spin control and byte labels, and Clear ID.
#include <QTest>
#include <QToolButton>

#include "tests/ui/window_fixture.h"

namespace korimo::test {
namespace {

class SerialNumberTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    SerialField().setFocus();
    SerialField().selectAll();
  }

  void Type(const char* keys) { QTest::keyClicks(&SerialField(), keys); }
  void LeaveField() { ModelList().setFocus(Qt::TabFocusReason); }
  QString High() { return Label("lblSN_High").text(); }
  QString Low() { return Label("lblSN_Low").text(); }
};

TEST_F(SerialNumberTest, OnlyDigitsCanBeTyped) {
  Type("1a2-3.4 5");
  QTest::keyClick(&SerialField(), Qt::Key_Backspace);
  QTest::keyClick(&SerialField(), Qt::Key_Escape);
  QTest::keyClick(&SerialField(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(SerialField().text(), "12345");
  EXPECT_EQ(Spin().Value(), 0);  // nothing committed yet
}

TEST_F(SerialNumberTest, LeavingCommitsAndClamps) {
  Type("70000");
  LeaveField();
  EXPECT_EQ(SerialField().text(), "65535");
  EXPECT_EQ(Spin().Value(), 65535);
  EXPECT_EQ(High(), "0xFF");
  EXPECT_EQ(Low(), "0xFF");
}

TEST_F(SerialNumberTest, EnterCommitsAndInsertsNothing) {
  Type("99999999999");
  QTest::keyClick(&SerialField(), Qt::Key_Return);
  EXPECT_EQ(SerialField().text(), "65535");
  EXPECT_TRUE(SerialField().hasFocus());
  SerialField().selectAll();
  Type("42");
  QTest::keyClick(&SerialField(), Qt::Key_Enter);
  EXPECT_EQ(SerialField().text(), "00042");
  EXPECT_EQ(High(), "0x00");
  EXPECT_EQ(Low(), "0x2A");
}

TEST_F(SerialNumberTest, ByteLabels) {
  for (const auto& [typed, high, low] :
       std::vector<std::tuple<const char*, const char*, const char*>>{{"4660", "0x12", "0x34"},
                                                                      {"255", "0x00", "0xFF"},
                                                                      {"256", "0x01", "0x00"},
                                                                      {"65535", "0xFF", "0xFF"},
                                                                      {"0", "0x00", "0x00"}}) {
    SCOPED_TRACE(typed);
    SerialField().selectAll();
    Type(typed);
    QTest::keyClick(&SerialField(), Qt::Key_Return);
    EXPECT_EQ(High(), high);
    EXPECT_EQ(Low(), low);
  }
}

TEST_F(SerialNumberTest, NoNumberIsRestoredFromTheSpinValue) {
  LeaveField();  // the placeholder
  EXPECT_EQ(SerialField().text(), "00000");
  EXPECT_EQ(High(), "0x00");
  Spin().SetValue(300);
  SerialField().setText("");
  SerialField().setFocus();
  LeaveField();
  EXPECT_EQ(SerialField().text(), "00300");
  SerialField().setText("abc");  // as pasted
  window_->CommitSerialNumber();
  EXPECT_EQ(SerialField().text(), "00300");
  EXPECT_EQ(Spin().Value(), 300);
}

TEST_F(SerialNumberTest, PastedFormsFollowTheNumberRules) {
  const std::vector<std::pair<const char*, int>> cases{
      {"&H1234", 0x1234}, {" 42.5 ", 42}, {"43.5", 44}, {"-5", 0}, {"1E3", 1000}, {"&O17", 15}};
  for (const auto& [pasted, value] : cases) {
    SCOPED_TRACE(pasted);
    SerialField().setText(pasted);
    window_->CommitSerialNumber();
    EXPECT_EQ(Spin().Value(), value);
    EXPECT_EQ(SerialField().text(), QString::asprintf("%05d", value));
  }
  Spin().SetValue(7);
  SerialField().setText("0x20");  // not a number
  window_->CommitSerialNumber();
  EXPECT_EQ(SerialField().text(), "00007");
}

TEST_F(SerialNumberTest, ArrowsStepTheValueAndTheFieldFollows) {
  Type("41");
  QTest::keyClick(&SerialField(), Qt::Key_Return);
  QTest::mouseClick(Spin().UpArrow(), Qt::LeftButton);
  EXPECT_EQ(SerialField().text(), "00042");
  EXPECT_EQ(Low(), "0x2A");
  QTest::mouseClick(Spin().DownArrow(), Qt::LeftButton);
  QTest::mouseClick(Spin().DownArrow(), Qt::LeftButton);
  EXPECT_EQ(SerialField().text(), "00040");
  Spin().SetValue(65535);
  QTest::mouseClick(Spin().UpArrow(), Qt::LeftButton);
  EXPECT_EQ(Spin().Value(), 65535);
  EXPECT_EQ(SerialField().text(), "65535");
}

TEST_F(SerialNumberTest, AnotherWindowTakingTheFocusCommitsNothing) {
  Type("123");
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(&SerialField(), &away);
  EXPECT_EQ(SerialField().text(), "123");
  EXPECT_EQ(Spin().Value(), 0);
}

class ClearIdTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Tick();
    platform_.GetFiles().ClearLog();
  }
};

TEST_F(ClearIdTest, YesWritesTheIdentityCell) {
  prompts_.answers = {MessageAnswer::kYes};
  Button("CmdClearID").click();
  ASSERT_EQ(prompts_.calls.size(), 1u);
  EXPECT_EQ(prompts_.calls[0].text,
            "This will reset the engraver VID/PID.  Are you sure you want to continue?");
  EXPECT_EQ(prompts_.calls[0].title, "Reset VID/PID");
  EXPECT_EQ(prompts_.calls[0].buttons, MessageButtons::kYesNo);
  EXPECT_EQ(prompts_.calls[0].default_answer, MessageAnswer::kYes);
  // One command, after the busy poll; nothing else.
  std::vector<std::vector<std::uint8_t>> written;
  for (const sim::FileLogEntry& entry : platform_.GetFiles().Log()) {
    if (entry.kind == sim::FileEvent::kWrite) {
      written.push_back(entry.bytes);
    }
  }
  EXPECT_EQ(written,
            (std::vector<std::vector<std::uint8_t>>{{0x00, 0x04, 0x03, 0xE0, 0x00, 0x00}}));
  EXPECT_EQ(platform_.GetFiles().Counts().reads, 1u);
  EXPECT_EQ(Board().Cell(0xE0), 0x00);
  EXPECT_TRUE(Button("CmdClearID").isHidden());
}

TEST_F(ClearIdTest, AWriteThatDoesNotArriveIsReported) {
  prompts_.answers = {MessageAnswer::kYes};
  platform_.GetFiles().FailWrites(sim::FaultSpan::Times(1));
  window_->CmdClearID_Click();
  ASSERT_EQ(prompts_.calls.size(), 2u);
  EXPECT_EQ(prompts_.calls[1].text,
            "The USB identity reset did not reach the engraver. Clear ID again once the engraver "
            "is connected.");
  EXPECT_EQ(prompts_.calls[1].buttons, MessageButtons::kOk);
  EXPECT_EQ(Board().Cell(0xE0), 0xFF);
}

TEST_F(ClearIdTest, NoSendsNothing) {
  prompts_.answers = {MessageAnswer::kNo};
  window_->CmdClearID_Click();
  EXPECT_EQ(prompts_.calls.size(), 1u);
  EXPECT_TRUE(platform_.GetFiles().Log().empty());
  EXPECT_EQ(Board().Cell(0xE0), 0xFF);
}

}  // namespace
}  // namespace korimo::test
