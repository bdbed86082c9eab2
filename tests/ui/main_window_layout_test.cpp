// The configuration window as designed: every control by name, caption, kind,
// place and size (twips at 15 to the pixel), fonts, and the fixed client area.
#include <QAction>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "tests/support/design_faces.h"
#include "tests/ui/window_fixture.h"
#include "ui/twips.h"

namespace korimo::test {
namespace {

using ui::TwipsRect;

struct Placed {
  const char* name;
  const char* caption;  // nullptr: no caption to check
  QRect twips;
};

class LayoutTest : public WindowTest {};

TEST_F(LayoutTest, FramesAndWindowControlsStandWhereDesigned) {
  const std::vector<Placed> frames{
      {"fraSN", "Serial Number", {120, 120, 2295, 1335}},
      {"Frame1", "Machine Model", {2520, 120, 2295, 1335}},
      {"Frame2", "Maximum X Travel(0.001 in)", {120, 1560, 2295, 855}},
      {"Frame7", "Raster Speed (0.001 in/sec)", {2520, 1560, 2295, 855}},
      {"Frame3", "Maximum Y Travel(0.001 in)", {120, 2520, 2295, 855}},
      {"Frame6", "Vector Speed (0.001 in/sec)", {2520, 2520, 2295, 855}},
      {"Frame4", "Maximum Z Travel (0.001 in)", {120, 3480, 2295, 855}},
      {"Frame5", "Z Speed (0.001 in/sec)", {2520, 3480, 2295, 855}},
  };
  for (const Placed& frame : frames) {
    SCOPED_TRACE(frame.name);
    QGroupBox& box = Get<QGroupBox>(frame.name);
    EXPECT_EQ(box.title(), frame.caption);
    EXPECT_EQ(box.geometry(), TwipsRect(frame.twips.x(), frame.twips.y(), frame.twips.width(),
                                        frame.twips.height()));
    EXPECT_EQ(box.parentWidget(), window_->centralWidget());
  }

  const std::vector<Placed> buttons{
      {"cmdWrite", "Set", {5040, 240, 1215, 375}},
      {"cmdRead", "Read", {5040, 720, 1215, 375}},
      {"CmdClearID", "Clear ID", {5040, 1320, 1215, 375}},
      {"cmdDone", "&Done", {5040, 3960, 1215, 375}},
  };
  for (const Placed& button : buttons) {
    SCOPED_TRACE(button.name);
    EXPECT_EQ(Button(button.name).text(), button.caption);
    EXPECT_EQ(
        Button(button.name).geometry(),
        TwipsRect(button.twips.x(), button.twips.y(), button.twips.width(), button.twips.height()));
  }
  EXPECT_EQ(Get<QFrame>("Line1").geometry().topLeft(), TwipsRect(5040, 1200, 0, 0).topLeft());
  EXPECT_EQ(Get<QFrame>("Line1").width(), ui::Px(6240 - 5040));
  EXPECT_EQ(ConnectedLamp().geometry(), TwipsRect(120, 4440, 195, 195));
  EXPECT_EQ(ConnectedLamp().LampShape(), ui::Lamp::Shape::kCircle);
  EXPECT_EQ(ConnectedLamp().FillColor(), QColor(128, 128, 128));
  EXPECT_EQ(Label("lblStatus").geometry(), TwipsRect(480, 4440, 780, 195));
  EXPECT_EQ(Label("lblStatus").text(), "Connected");
}

TEST_F(LayoutTest, ControlsInsideTheFrames) {
  EXPECT_EQ(SerialField().parentWidget()->objectName(), "fraSN");
  EXPECT_EQ(SerialField().geometry(), TwipsRect(120, 360, 1575, 285));
  EXPECT_EQ(SerialField().toolTip(), "Enter PCB Serial Number");
  EXPECT_EQ(Spin().geometry(), TwipsRect(1920, 360, 240, 855));
  EXPECT_EQ(Label("lblSN_High").geometry(), TwipsRect(1080, 720, 375, 195));
  EXPECT_EQ(Label("lblSN_Low").geometry(), TwipsRect(1080, 960, 375, 195));
  const QList<QLabel*> general = window_->findChildren<QLabel*>("lblGen");
  ASSERT_EQ(general.size(), 2);
  for (const QLabel* label : general) {
    if (label->property("index").toInt() == 6) {
      EXPECT_EQ(label->text(), "High Byte:");
      EXPECT_EQ(label->geometry(), TwipsRect(240, 720, 735, 195));
    } else {
      EXPECT_EQ(label->property("index").toInt(), 7);
      EXPECT_EQ(label->text(), "Low Byte:");
      EXPECT_EQ(label->geometry(), TwipsRect(270, 960, 705, 195));
    }
  }
  EXPECT_EQ(ModelList().parentWidget()->objectName(), "Frame1");
  EXPECT_EQ(ModelList().geometry(), TwipsRect(120, 360, 2055, 840));

  const std::vector<std::pair<const char*, const char*>> homes{
      {"cboMaxX", "Frame2"},   {"cboMaxY", "Frame3"},   {"cboMaxZ", "Frame4"},
      {"cboRaster", "Frame7"}, {"cboVector", "Frame6"}, {"cboZSpeed", "Frame5"}};
  for (const auto& [field, frame] : homes) {
    SCOPED_TRACE(field);
    EXPECT_EQ(Combo(field).parentWidget()->objectName(), frame);
    EXPECT_EQ(Combo(field).geometry(), TwipsRect(240, 360, 1815, 330));
    EXPECT_TRUE(Combo(field).isEditable());
  }
}

TEST_F(LayoutTest, FieldsTabInTheirOrder) {
  QWidget* next = &Combo("cboMaxX");
  for (const char* name : {"cboMaxY", "cboMaxZ", "cboRaster", "cboVector", "cboZSpeed"}) {
    next = next->nextInFocusChain();
    while (next->focusProxy() != nullptr || next->parentWidget()->inherits("QComboBox")) {
      next = next->nextInFocusChain();
    }
    EXPECT_EQ(next->objectName(), name);
  }
}

TEST_F(LayoutTest, FixedWindowWithoutMenuBar) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  EXPECT_EQ(window_->windowTitle(), "Korimo Configuration");
  EXPECT_FALSE(window_->menuBar()->isVisible());
  EXPECT_EQ(window_->size(), QSize(435, 309));  // 6525 x 4635 twips
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::MSWindowsFixedSizeDialogHint);

  auto* menu = window_->findChild<QMenu*>("mnuEEProm");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "EEProm");
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions().front()->objectName(), "mnuEEPromEdit");
  EXPECT_EQ(menu->actions().front()->text(), "Edit");

  auto* timer = window_->findChild<ui::WindowTimer*>("tmrStatus");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 250);
}

// With no fonts installed every text draws as empty boxes and nothing else
// notices; the fixed-pitch fields must find a real face.
TEST_F(LayoutTest, FieldFontResolvesToARealMonospaceFace) {
  for (QWidget* field :
       {static_cast<QWidget*>(&SerialField()), static_cast<QWidget*>(&Combo("cboMaxX")),
        static_cast<QWidget*>(&Combo("cboZSpeed"))}) {
    SCOPED_TRACE(field->objectName().toStdString());
    EXPECT_EQ(field->font().family(), "Courier New");
    EXPECT_DOUBLE_EQ(field->font().pointSizeF(), 8.25);
    const QFontInfo resolved(field->font());
    EXPECT_TRUE(ResolvesToDesignFace(field->font())) << resolved.family().toStdString();
    EXPECT_TRUE(resolved.fixedPitch());
  }
}

TEST_F(LayoutTest, WorkingScreenshotHasContent) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const QImage image = window_->grab().toImage();
  EXPECT_EQ(image.size(), QSize(435, 309) * window_->devicePixelRatio());
  // Text was drawn: the frame caption row holds dark pixels.
  int dark = 0;
  for (int x = 8; x < 150; ++x) {
    for (int y = 8; y < 20; ++y) {
      dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    }
  }
  EXPECT_GT(dark, 20);
}

}  // namespace
}  // namespace korimo::test
