// Opening the I/O window: one window object until the title-bar close unloads
// it; the main window's shortcut; the Done hook reaches every window made.
#include "iocheck/io_opener.h"

#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include "tests/support/engraver_fixture.h"

namespace korimo::test {
namespace {

class IOOpenerTest : public EngraverTest {
 protected:
  void SetUp() override {
    opener_.SetEndProgram([this] { ++ended_; });
  }
  void TearDown() override {
    if (opener_.Window() != nullptr) {
      opener_.Window()->hide();
    }
    EngraverTest::TearDown();
  }
  iocheck::IOOpener opener_{kt90_, nullptr, timers_};
  int ended_ = 0;
};

TEST_F(IOOpenerTest, OneWindowUntilTheTitleBarCloseUnloadsIt) {
  opener_.Open();
  QPointer<frmIO> first = opener_.Window();
  ASSERT_FALSE(first.isNull());
  EXPECT_TRUE(first->isVisible());
  opener_.Open();
  EXPECT_EQ(opener_.Window(), first.data());

  ASSERT_TRUE(QTest::qWaitForWindowExposed(first.data()));
  EXPECT_TRUE(first->close());
  EXPECT_EQ(opener_.Window(), nullptr);
  EXPECT_FALSE(first->findChild<ui::WindowTimer*>("tmrStatus")->isActive());
  RunDeferredDeletes();
  EXPECT_TRUE(first.isNull());

  opener_.Open();
  ASSERT_NE(opener_.Window(), nullptr);
  Find<QPushButton>(*opener_.Window(), "cmdDone").click();
  EXPECT_EQ(ended_, 1);
}

TEST_F(IOOpenerTest, CtrlShiftIOnTheMainWindowOpensIt) {
  QWidget main;
  main.resize(200, 100);
  QShortcut* shortcut = opener_.AddShortcut(main);
  EXPECT_EQ(shortcut->key(), QKeySequence("Ctrl+Shift+I"));
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  QTest::keyClick(&main, Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_NE(opener_.Window(), nullptr);
  EXPECT_TRUE(opener_.Window()->isVisible());
}

}  // namespace
}  // namespace korimo::test
