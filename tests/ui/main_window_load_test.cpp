// Load, the model presets and the locked entry fields of the configuration window.
#include <QAction>
#include <QMenu>
#include <QTest>

#include "tests/ui/window_fixture.h"

namespace korimo::test {
namespace {

class LoadTest : public WindowTest {};

TEST_F(LoadTest, OpensWithKX2AppliedAndTheHiddenCommands) {
  ASSERT_EQ(ModelList().count(), 2);
  EXPECT_EQ(ModelList().item(0)->text(), "Korimo KX2");
  EXPECT_EQ(ModelList().item(0)->data(Qt::UserRole).toInt(), 1);
  EXPECT_EQ(ModelList().item(1)->text(), "Korimo KX3");
  EXPECT_EQ(ModelList().item(1)->data(Qt::UserRole).toInt(), 2);
  EXPECT_EQ(ModelList().currentRow(), 0);

  EXPECT_EQ(FieldTexts(),
            (std::vector<QString>{"16000", "12000", "4250", "50000", "10000", "8000"}));
  for (const char* name : kFieldNames) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Combo(name).isEnabled());
    EXPECT_TRUE(Combo(name).Locked());
  }
  EXPECT_EQ(SerialField().text(), "-----");
  EXPECT_EQ(Label("lblSN_High").text(), "0x##");
  EXPECT_EQ(Label("lblSN_Low").text(), "0x##");
  EXPECT_EQ(Label("lblStatus").text(), "Connected");

  EXPECT_TRUE(Button("cmdRead").isEnabled());
  EXPECT_TRUE(Button("cmdWrite").isEnabled());
  EXPECT_TRUE(Button("CmdClearID").isEnabled());
  EXPECT_TRUE(Button("CmdClearID").isHidden());
  auto* menu = window_->findChild<QMenu*>("mnuEEProm");
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(menu->menuAction()->isVisible());
  // Loading talks to nobody.
  EXPECT_TRUE(platform_.GetFiles().Log().empty());
  EXPECT_EQ(ConnectedLamp().RepaintRequests(), 0);
}

TEST_F(LoadTest, DropDownItemsOfEachField) {
  const std::vector<std::pair<const char*, QStringList>> items{
      {"cboMaxX", {"16000", "24000"}}, {"cboMaxY", {"12000"}},   {"cboMaxZ", {"4250"}},
      {"cboRaster", {"50000"}},        {"cboVector", {"25000"}}, {"cboZSpeed", {"8000"}}};
  for (const auto& [name, expected] : items) {
    SCOPED_TRACE(name);
    QStringList actual;
    for (int i = 0; i < Combo(name).count(); ++i) {
      actual << Combo(name).itemText(i);
    }
    EXPECT_EQ(actual, expected);
  }
}

TEST_F(LoadTest, ChoosingAModelAppliesItsPresetsFieldByField) {
  Combo("cboMaxZ").SetText("04250");  // as a Read leaves it
  ModelList().setCurrentRow(1);
  EXPECT_EQ(FieldTexts(),
            (std::vector<QString>{"24000", "12000", "4250", "50000", "10000", "8000"}));
  EXPECT_FALSE(Combo("cboMaxX").isEnabled());
  ModelList().setCurrentRow(0);
  EXPECT_EQ(Combo("cboMaxX").Text(), "16000");
  // The vector field shows a preset that its own list does not offer.
  EXPECT_EQ(Combo("cboVector").Text(), "10000");
  EXPECT_EQ(Combo("cboVector").itemText(0), "25000");
}

TEST_F(LoadTest, ClickingTheOtherEntryAppliesIt) {
  ModelList().show();
  const QRect kx3 = ModelList().visualItemRect(ModelList().item(1));
  QTest::mouseClick(ModelList().viewport(), Qt::LeftButton, {}, kx3.center());
  EXPECT_EQ(ModelList().currentRow(), 1);
  EXPECT_EQ(Combo("cboMaxX").Text(), "24000");
}

TEST_F(LoadTest, NoEntrySelectedReleasesTheFieldsAndKeepsTheirTexts) {
  Combo("cboMaxX").SetText("01234");
  ModelList().setCurrentRow(-1);
  for (const char* name : kFieldNames) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Combo(name).isEnabled());
  }
  EXPECT_EQ(Combo("cboMaxX").Text(), "01234");
  // Still locked: released fields take no typing.
  QTest::keyClicks(&Combo("cboMaxY"), "7");
  EXPECT_EQ(Combo("cboMaxY").Text(), "12000");
}

// Typing into a field: the lock keeps every text.
TEST_F(LoadTest, LockedFieldsKeepTheirTexts) {
  ModelList().setCurrentRow(-1);  // enabled, so keys reach the fields
  for (const char* name : kFieldNames) {
    SCOPED_TRACE(name);
    ui::LockedCombo& field = Combo(name);
    const QString before = field.Text();
    QTest::keyClicks(&field, "7a-. ");
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(field.Text(), before);
  }
}

// The filter of the five digit fields, seen through a field the test unlocks:
// only digits get through; the X travel field has no filter.
TEST_F(LoadTest, DigitFilterOfFiveFields) {
  ModelList().setCurrentRow(-1);
  for (const char* name : kFieldNames) {
    SCOPED_TRACE(name);
    ui::LockedCombo& field = Combo(name);
    field.SetLocked(false);
    field.SetText("1");
    field.lineEdit()->end(false);
    QTest::keyClicks(&field, "7a-. ,+");
    QTest::keyClick(&field, Qt::Key_Return);
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(&field, "9");
    if (std::string_view(name) == "cboMaxX") {
      EXPECT_EQ(field.Text(), "17a-. ,9");  // Backspace took the "+"
    } else {
      EXPECT_EQ(field.Text(), "179");
    }
    QTest::keyClick(&field, Qt::Key_Left);
    QTest::keyClick(&field, Qt::Key_Delete);  // types nothing: never filtered
    EXPECT_TRUE(field.Text().endsWith(std::string_view(name) == "cboMaxX" ? "," : "7"));
  }
}

TEST_F(LoadTest, TheWindowsOwnDigitFilter) {
  for (int key : {'0', '5', '9'}) {
    int code = key;
    window_->cboDigits_KeyPress(code);
    EXPECT_EQ(code, key);
  }
  for (int key : std::vector<int>{'a', '-', '.', ',', '+', ' ', 8, 13, 27, 3, 22, 24, 0xB2}) {
    int code = key;
    window_->cboDigits_KeyPress(code);
    EXPECT_EQ(code, 0) << key;
  }
}

TEST_F(LoadTest, PickingADropDownItemLeavesTheText) {
  ModelList().setCurrentRow(-1);
  window_->show();
  ui::LockedCombo& vector = Combo("cboVector");
  vector.showPopup();
  QTest::keyClick(vector.view(), Qt::Key_Return);
  vector.setCurrentIndex(0);
  EXPECT_EQ(vector.Text(), "10000");
}

TEST_F(LoadTest, EditMenuAsksForTheEditor) {
  int asked = 0;
  QObject::connect(window_.get(), &s::EEPromEditRequested, [&] { ++asked; });
  window_->findChild<QAction*>("mnuEEPromEdit")->trigger();
  EXPECT_EQ(asked, 1);
}

TEST_F(LoadTest, DoneEndsTheProgram) {
  QTest::mouseClick(&Button("cmdDone"), Qt::LeftButton);
  EXPECT_EQ(ended_, 1);
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_->windowHandle(), Qt::Key_D, Qt::AltModifier);
  // The access key clicks the button with a short animation.
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended_ == 2; }));
  EXPECT_TRUE(MemoryWrites().empty());
}

}  // namespace
}  // namespace korimo::test
