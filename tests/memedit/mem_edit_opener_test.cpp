// Opening the memory editor as the menu item does: one window object, shown
// modally; Close keeps it loaded, the title-bar close unloads it.
#include "memedit/mem_edit_opener.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/support/engraver_fixture.h"
#include "tests/support/when_modal.h"

namespace korimo::test {
namespace {

class MemEditOpenerTest : public EngraverTest {
 protected:
  void SetUp() override {
    owner_.resize(200, 100);
    owner_.show();
  }

  // Opens the editor; `while_shown` runs once the modal window is up and must
  // hide or close it.
  void OpenAnd(const std::function<void(frmMemEdit&)>& while_shown) {
    bool ran = false;
    const WhenModal answer([&](QWidget& modal) {
      auto* shown = qobject_cast<frmMemEdit*>(&modal);
      ASSERT_NE(shown, nullptr);
      ASSERT_EQ(shown, opener_.Window());
      ran = true;
      while_shown(*shown);
    });
    opener_.Open();
    EXPECT_TRUE(ran);
  }

  static void ClickClose(frmMemEdit& window) { Find<QPushButton>(window, "cmdClose").click(); }

  std::uint32_t MemoryReads() { return Board().Counts().memory_reads; }

  QWidget owner_;
  memedit::MemEditOpener opener_{kt90_, prompts_, &owner_};
};

TEST_F(MemEditOpenerTest, ShowsModallyOverItsOwner) {
  OpenAnd([&](frmMemEdit& window) {
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(window.parentWidget(), &owner_);
    EXPECT_TRUE(QApplication::activeModalWidget() == &window);
    ClickClose(window);
  });
  ASSERT_NE(opener_.Window(), nullptr);
  EXPECT_TRUE(opener_.Window()->isHidden());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MemEditOpenerTest, CloseKeepsTheWindowLoaded) {
  OpenAnd(ClickClose);
  EXPECT_EQ(MemoryReads(), 64u);
  QPointer<frmMemEdit> first = opener_.Window();

  Board().SetCell(0x20, 0x99);  // the window does not read again
  OpenAnd([&](frmMemEdit& window) {
    EXPECT_EQ(&window, first.data());
    ClickClose(window);
  });
  EXPECT_EQ(MemoryReads(), 64u);
  QString row0;
  for (QLabel* label : first->findChildren<QLabel*>("lblAddr")) {
    if (label->property("index").toInt() == 0) {
      row0 = label->text();
    }
  }
  EXPECT_TRUE(row0.startsWith("0x20: 0xCD"));
}

TEST_F(MemEditOpenerTest, TitleBarCloseUnloadsAndTheNextOpeningReadsAgain) {
  OpenAnd(ClickClose);
  QPointer<frmMemEdit> first = opener_.Window();
  int unloaded = 0;
  QObject::connect(first, &frmMemEdit::Unloaded, [&] { ++unloaded; });

  OpenAnd([](frmMemEdit& window) { window.close(); });
  EXPECT_EQ(unloaded, 1);
  EXPECT_EQ(opener_.Window(), nullptr);
  RunDeferredDeletes();
  EXPECT_TRUE(first.isNull());

  Board().SetCell(0x20, 0x99);
  OpenAnd([&](frmMemEdit& window) {
    EXPECT_TRUE(Find<QLabel>(window, "lblAddr").text().size() == 45);
    ClickClose(window);
  });
  EXPECT_EQ(MemoryReads(), 128u);
  ASSERT_NE(opener_.Window(), nullptr);
  for (QLabel* label : opener_.Window()->findChildren<QLabel*>("lblAddr")) {
    if (label->property("index").toInt() == 0) {
      EXPECT_TRUE(label->text().startsWith("0x20: 0x99"));
    }
  }
}

TEST_F(MemEditOpenerTest, AskingAgainWhileLoadingOpensNothingMore) {
  int asked = 0;
  pump_.action = [&](int index) {
    if (index == 5) {
      ++asked;
      opener_.Open();  // returns at once: the window is still loading
    }
  };
  OpenAnd(ClickClose);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(MemoryReads(), 64u);
  EXPECT_EQ(owner_.findChildren<frmMemEdit*>().size(), 1);
}

// Close while a Write waits on the controller, then the menu: the editor
// shows again at once, and stays up after the Write until Close.
TEST_F(MemEditOpenerTest, OpensAgainWhileAWriteWaits) {
  prompts_.entries = {"33", "17"};
  OpenAnd([&](frmMemEdit& window) {
    pump_.action = [&](int) {
      ClickClose(window);
      opener_.Open();
    };
    Find<QPushButton>(window, "cmdWriteMem").click();
    EXPECT_TRUE(window.isVisible());
    ClickClose(window);
  });
}

// The title-bar close during Clear: Clear runs to its end on the window,
// which goes only afterwards.
TEST_F(MemEditOpenerTest, UnloadDuringClearWaitsForClearToEnd) {
  QPointer<frmMemEdit> window;
  int unloaded = 0;
  Board().ResetCounts();
  OpenAnd([&](frmMemEdit& shown) {
    window = &shown;
    QObject::connect(window, &frmMemEdit::Unloaded, [&] { ++unloaded; });
    int yields = 0;
    pump_.action = [&](int) {
      if (++yields == 70) {
        window->close();
        EXPECT_EQ(unloaded, 1);
        EXPECT_EQ(opener_.Window(), nullptr);
        RunDeferredDeletes();  // as the wait's event processing would
        ASSERT_FALSE(window.isNull());
      }
    };
    Find<QPushButton>(shown, "cmdMemClear").click();
    pump_.action = nullptr;
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->isHidden());
  });
  EXPECT_EQ(Board().Counts().memory_writes, 64u);
  EXPECT_EQ(Board().Counts().memory_reads, 128u + 64u);
  RunDeferredDeletes();
  EXPECT_TRUE(window.isNull());
}

}  // namespace
}  // namespace korimo::test
