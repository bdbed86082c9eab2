// Opening the jog window: one window object, shown again by later openings,
// loaded anew after the title-bar close; the main window's shortcut.
#include "jog/move_opener.h"

#include <QPointer>
#include <QShortcut>
#include <QTest>

#include "tests/jog/move_fixture.h"

namespace korimo::test {
namespace {

class MoveOpenerTest : public EngraverTest {
 protected:
  void TearDown() override {
    if (opener_.Window() != nullptr) {
      opener_.Window()->hide();
    }
    EngraverTest::TearDown();
  }
  jog::MoveOpener opener_{kt90_, prompts_, nullptr, timers_};
};

TEST_F(MoveOpenerTest, OneWindowUntilTheTitleBarCloseUnloadsIt) {
  EXPECT_EQ(opener_.Window(), nullptr);
  opener_.Open();
  QPointer<frmMove> first = opener_.Window();
  ASSERT_FALSE(first.isNull());
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(first->ProgramFolder(), QCoreApplication::applicationDirPath());

  first->cmdDone_Click();
  EXPECT_TRUE(first->isHidden());
  opener_.Open();
  EXPECT_EQ(opener_.Window(), first.data());
  EXPECT_TRUE(first->isVisible());

  ASSERT_TRUE(QTest::qWaitForWindowExposed(first.data()));
  int unloaded = 0;
  QObject::connect(first, &frmMove::Unloaded, [&] { ++unloaded; });
  EXPECT_TRUE(first->close());
  EXPECT_EQ(unloaded, 1);
  EXPECT_EQ(opener_.Window(), nullptr);
  EXPECT_FALSE(first->findChild<ui::WindowTimer*>("tmrMove")->isActive());
  RunDeferredDeletes();
  EXPECT_TRUE(first.isNull());

  opener_.Open();
  ASSERT_NE(opener_.Window(), nullptr);
  EXPECT_TRUE(opener_.Window()->findChild<ui::WindowTimer*>("tmrMove")->isActive());
  EXPECT_EQ(opener_.Window()->findChild<QLabel*>("lblPositionX")->text(), "##.###");
}

// The title-bar close while a walk waits: the walk ends on a live window,
// which goes only afterwards.
TEST_F(MoveOpenerTest, UnloadDuringAWalkWaitsForTheWalkToEnd) {
  QTemporaryDir folder;
  opener_.Open();
  QPointer<frmMove> window = opener_.Window();
  window->SetProgramFolder(folder.path());
  {
    QFile file(folder.filePath("JOGPOSX.mov"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const std::vector<std::uint8_t> bytes = MoveRecords({{10, 0, 0}, {10, 0, 0}, {10, 0, 0}});
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.data()));
  int yields = 0;
  pump_.action = [&](int) {
    clock_.Advance(sim::Micros{100});
    if (++yields == 2) {
      window->close();
      RunDeferredDeletes();  // as the wait's event processing would
      ASSERT_FALSE(window.isNull());
    }
  };
  window->picMove_MouseDown(12);
  window->tmrMove_Timer();
  EXPECT_EQ(Board().Counts().moves, 3u);
  EXPECT_FALSE(window.isNull());
  EXPECT_EQ(opener_.Window(), nullptr);
  RunDeferredDeletes();
  EXPECT_TRUE(window.isNull());
}

TEST_F(MoveOpenerTest, CtrlShiftJOnTheMainWindowOpensIt) {
  QWidget main;
  main.resize(200, 100);
  QShortcut* shortcut = opener_.AddShortcut(main);
  EXPECT_EQ(shortcut->parent(), &main);
  EXPECT_EQ(shortcut->key(), QKeySequence("Ctrl+Shift+J"));
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  QTest::keyClick(&main, Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_NE(opener_.Window(), nullptr);
  EXPECT_TRUE(opener_.Window()->isVisible());
}

}  // namespace
}  // namespace korimo::test
