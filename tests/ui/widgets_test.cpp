// The shared widgets and the Qt ports.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "tests/support/when_modal.h"
#include "ui/key_press.h"
#include "ui/lamp.h"
#include "ui/locked_combo.h"
#include "ui/qt_event_pump.h"
#include "ui/qt_prompts.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"
#include "ui/twips.h"
#include "ui/window_timer.h"

namespace korimo::ui {
namespace {

TEST(Twips, FifteenTwipsToThePixel) {
  EXPECT_EQ(Px(6525), 435);
  EXPECT_EQ(Px(4635), 309);
  EXPECT_EQ(Px(195), 13);
  EXPECT_EQ(Px(7), 0);  // rounds to the nearest pixel
  EXPECT_EQ(Px(8), 1);
  EXPECT_EQ(TwipsRect(120, 4440, 195, 195), QRect(8, 296, 13, 13));
}

TEST(Lamp, SetIndicatorAssignsOnlyOnChange) {
  Lamp lamp(Lamp::Shape::kCircle);
  EXPECT_EQ(lamp.FillColor(), kLampOff);
  SetIndicator(lamp, false);
  EXPECT_EQ(lamp.RepaintRequests(), 0);
  SetIndicator(lamp, true);
  SetIndicator(lamp, true);
  EXPECT_EQ(lamp.FillColor(), QColor(0x00, 0xFF, 0x00));
  EXPECT_EQ(lamp.RepaintRequests(), 1);
  SetIndicator(lamp, false);
  EXPECT_EQ(lamp.FillColor(), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(lamp.RepaintRequests(), 2);
}

TEST(Lamp, EveryAssignmentRepaints) {
  Lamp lamp(Lamp::Shape::kRoundedRectangle);
  lamp.SetBackColor(kLampOn);
  lamp.SetBackColor(kLampOn);
  lamp.SetBorderWidth(3);
  EXPECT_EQ(lamp.RepaintRequests(), 3);
  EXPECT_EQ(lamp.BorderWidth(), 3);
  lamp.resize(73, 33);
  // The key lamps' style: a hollow shape on an opaque back, which shows the back colour.
  lamp.SetFillSolid(false);
  lamp.SetBackOpaque(true);
  const QImage painted = lamp.grab().toImage();
  EXPECT_EQ(painted.pixelColor(painted.rect().center()), kLampOn);
}

TEST(SpinControl, ArrowsStepAndStopAtTheEnds) {
  SpinControl spin;
  spin.SetRange(0, 65535);
  spin.resize(16, 57);
  spin.show();
  std::vector<int> changes;
  QObject::connect(&spin, &SpinControl::ValueChanged, [&](int value) { changes.push_back(value); });

  QTest::mouseClick(spin.DownArrow(), Qt::LeftButton);  // already at 0
  QTest::mouseClick(spin.UpArrow(), Qt::LeftButton);
  QTest::mouseClick(spin.UpArrow(), Qt::LeftButton);
  EXPECT_EQ(spin.Value(), 2);
  spin.SetValue(70000);
  EXPECT_EQ(spin.Value(), 65535);
  QTest::mouseClick(spin.UpArrow(), Qt::LeftButton);  // no wrap
  spin.SetValue(65535);                               // unchanged: no notification
  EXPECT_EQ(changes, (std::vector<int>{1, 2, 65535}));
  EXPECT_LT(spin.UpArrow()->geometry().bottom(), spin.DownArrow()->geometry().top());
}

QKeyEvent Press(int key, const QString& text = {}, Qt::KeyboardModifiers modifiers = {}) {
  return QKeyEvent(QEvent::KeyPress, key, modifiers, text);
}

TEST(KeyPress, CharacterCodesAsATextBoxSeesThem) {
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_7, "7")), '7');
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_A, "a")), 'a');
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Space, " ")), ' ');
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Backspace)), 8);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Return, "\r")), 13);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Enter)), 13);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Escape)), 27);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_C, "c", Qt::ControlModifier)), 3);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_V, "", Qt::ControlModifier)), 22);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_X, "\x18", Qt::ControlModifier)), 24);
  // Keys that type nothing.
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Delete, "\x7f")), 0);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Tab, "\t")), 0);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_Left)), 0);
  EXPECT_EQ(TypedCharacterCode(Press(Qt::Key_F4)), 0);
}

TEST(TextBox, HandlerDiscardsKeysBeforeTheFieldSeesThem) {
  TextBox box;
  std::vector<int> seen;
  box.SetKeyPressHandler([&](int& key) {
    seen.push_back(key);
    if (key < '0' || key > '9') {
      key = 0;
    }
  });
  box.setText("12");
  box.setCursorPosition(2);
  QTest::keyClicks(&box, "3x4");
  QTest::keyClick(&box, Qt::Key_Backspace);
  QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box.text(), "1234");
  QTest::keyClick(&box, Qt::Key_Left);  // no character: not seen, moves the cursor
  QTest::keyClick(&box, Qt::Key_Delete);
  EXPECT_EQ(box.text(), "123");
  EXPECT_EQ(seen, (std::vector<int>{'3', 'x', '4', 8, 22}));
}

TEST(TextBox, LosesTheFocusOnlyToAnotherControl) {
  QWidget window;
  auto* box = new TextBox(&window);
  auto* other = new QLineEdit(&window);
  int lost = 0;
  QObject::connect(box, &TextBox::LostFocus, [&] { ++lost; });
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  box->setFocus();
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(box, &away);
  EXPECT_EQ(lost, 0);
  box->setFocus();
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(lost, 1);
}

class LockedComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    combo_.addItems({"16000", "24000"});
    combo_.SetText("");
    combo_.SetLocked(true);
    combo_.SetText("16000");
  }
  LockedCombo combo_;
};

TEST_F(LockedComboTest, TypingChangesNothing) {
  QTest::keyClicks(&combo_, "7a");
  QTest::keyClick(&combo_, Qt::Key_Backspace);
  QTest::keyClick(&combo_, Qt::Key_Delete);
  QTest::keyClick(&combo_, Qt::Key_Return);
  EXPECT_EQ(combo_.Text(), "16000");
  EXPECT_EQ(combo_.count(), 2);
}

TEST_F(LockedComboTest, PickingAnItemKeepsTheText) {
  combo_.setCurrentIndex(1);
  EXPECT_EQ(combo_.Text(), "16000");
  QTest::keyClick(&combo_, Qt::Key_Up);
  QTest::keyClick(&combo_, Qt::Key_Down);
  EXPECT_EQ(combo_.Text(), "16000");
  combo_.show();
  combo_.showPopup();
  QTest::keyClick(combo_.view(), Qt::Key_Down);
  QTest::keyClick(combo_.view(), Qt::Key_Return);
  EXPECT_EQ(combo_.Text(), "16000");
  combo_.SetText("24000");  // the program still can
  EXPECT_EQ(combo_.Text(), "24000");
}

TEST_F(LockedComboTest, HandlerSeesTypedCharactersFirst) {
  std::vector<int> seen;
  combo_.SetKeyPressHandler([&](int& key) {
    seen.push_back(key);
    key = 0;
  });
  QTest::keyClicks(&combo_, "7-");
  QTest::keyClick(&combo_, Qt::Key_Return);
  QTest::keyClick(&combo_, Qt::Key_Down);  // not a character
  EXPECT_EQ(seen, (std::vector<int>{'7', '-', 13}));
  EXPECT_EQ(combo_.Text(), "16000");
}

TEST(LockedCombo, UnlockedItFollowsTheUser) {
  LockedCombo combo;
  combo.addItems({"1", "2"});
  combo.SetText("");
  QTest::keyClicks(&combo, "42");
  EXPECT_EQ(combo.Text(), "42");
  combo.SetLocked(true);
  combo.setCurrentIndex(1);
  EXPECT_EQ(combo.Text(), "42");
}

// Answers the next modal dialog with `button` once it is up.
test::WhenModal AnswerModal(QMessageBox::StandardButton button) {
  return test::WhenModal([button](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    ASSERT_NE(box, nullptr);
    box->button(button)->click();
  });
}

TEST(QtPrompts, YesNoMessageWithItsTitleAndDefault) {
  QtPrompts prompts;
  QString title;
  QString text;
  bool yes_default = false;
  bool no_icon = false;
  const test::WhenModal answer1([&](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    yes_default = box->defaultButton() == box->button(QMessageBox::Yes);
    no_icon = box->icon() == QMessageBox::NoIcon;
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(
      prompts.ShowMessage("Sure?", "Reset VID/PID", MessageButtons::kYesNo, MessageAnswer::kYes),
      MessageAnswer::kNo);
  EXPECT_EQ(title, "Reset VID/PID");
  EXPECT_EQ(text, "Sure?");
  EXPECT_TRUE(yes_default);
  EXPECT_TRUE(no_icon);

  const test::WhenModal answer_yes = AnswerModal(QMessageBox::Yes);
  EXPECT_EQ(prompts.ShowMessage("Sure?", "t", MessageButtons::kYesNo, MessageAnswer::kYes),
            MessageAnswer::kYes);
}

TEST(QtPrompts, UntitledMessageCarriesTheApplicationTitle) {
  QtPrompts prompts;
  QString title;
  const test::WhenModal answer2([&](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    EXPECT_EQ(box->button(QMessageBox::Yes), nullptr);
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(prompts.ShowMessage("Invalid Value", "", MessageButtons::kOk, MessageAnswer::kOk),
            MessageAnswer::kOk);
  EXPECT_EQ(title, "Korimo Configuration");
}

TEST(QtPrompts, InputPromptEntryAndCancel) {
  QtPrompts prompts;
  QString title;
  QString label;
  const test::WhenModal answer3([&](QWidget& modal) {
    auto* dialog = qobject_cast<QInputDialog*>(&modal);
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    label = dialog->labelText();
    EXPECT_TRUE(dialog->textValue().isEmpty());
    dialog->setTextValue("&H20");
    dialog->accept();
  });
  EXPECT_EQ(prompts.AskText("Enter Address", "EEPROM WRITE - Addr"), "&H20");
  EXPECT_EQ(title, "EEPROM WRITE - Addr");
  EXPECT_EQ(label, "Enter Address");

  const test::WhenModal answer4([&](QWidget& modal) {
    auto* dialog = qobject_cast<QInputDialog*>(&modal);
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    dialog->reject();
  });
  EXPECT_EQ(prompts.AskText("Enter Value", ""), std::nullopt);
  EXPECT_EQ(title, "Korimo Configuration");
}

TEST(QtEventPump, RunsPendingEvents) {
  QtEventPump pump;
  bool ran = false;
  QMetaObject::invokeMethod(
      qApp, [&] { ran = true; }, Qt::QueuedConnection);
  pump.DoEvents();
  EXPECT_TRUE(ran);
}

TEST(QtTimers, MakesANamedStoppedTimerOfItsOwner) {
  QObject owner;
  WindowTimer* timer = QtTimers().MakeTimer(owner, QStringLiteral("tmrMove"), 10, true);
  EXPECT_EQ(timer->parent(), &owner);
  EXPECT_EQ(owner.findChild<WindowTimer*>(QStringLiteral("tmrMove")), timer);
  EXPECT_EQ(timer->interval(), 10);
  EXPECT_FALSE(timer->isActive());
  timer->start();
  EXPECT_TRUE(timer->isActive());
  timer->stop();
  EXPECT_FALSE(timer->isActive());
  auto* inner = timer->findChild<QTimer*>();
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->timerType(), Qt::PreciseTimer);
}

}  // namespace
}  // namespace korimo::ui
