// The four windows and their prompts as a person sees them on a real desktop:
// run on X11 (xcb, under Xvfb) and on Windows (Qt's windows platform, under
// Wine), never offscreen. The title, the client area and every named
// control's rectangle are read back from the platform and compared with the
// twips designs (15 twips to the pixel, times the device pixel ratio when the
// display is scaled); every text must fit its control in the font the platform
// resolved; the access keys and the tab order are pressed through the platform.
//
// With KORIMO_DESKTOP_SHOTS set to a folder, each window's screenshot, taken
// from the screen, is saved there as NAME@SCALE.png.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "iocheck/io_opener.h"
#include "iocheck/io_window.h"
#include "jog/move_opener.h"
#include "jog/move_window.h"
#include "mainwin/main_window.h"
#include "memedit/mem_edit_window.h"
#include "sim/platform.h"
#include "tests/desktop/native_window.h"
#include "tests/support/design_faces.h"
#include "tests/support/fake_ports.h"
#include "tests/support/manual_timers.h"
#include "tests/support/sim_engraver.h"
#include "ui/locked_combo.h"
#include "ui/qt_prompts.h"
#include "ui/twips.h"

namespace korimo::desktop {
namespace {

using ui::Px;

struct Control {
  const char* name;
  int index;            // the element of a control array; -1 for none
  const char* parent;   // the enclosing frame; nullptr: the client area
  const char* caption;  // checked when given
  QRect twips;
  QStringList also_shows = {};  // texts the control shows in use, beside its present one
  bool hidden = false;          // hidden at load
};

struct Design {
  const char* caption;
  QSize client;  // twips, above a status bar
  std::vector<Control> controls;
};

const Design kMainWindow{
    "Korimo Configuration",
    {6525, 4635},
    {
        {"fraSN", -1, nullptr, "Serial Number", {120, 120, 2295, 1335}},
        {"txtSN", -1, "fraSN", nullptr, {120, 360, 1575, 285}, {"65535", "00000"}},
        {"udSN", -1, "fraSN", nullptr, {1920, 360, 240, 855}},
        {"lblGen", 6, "fraSN", "High Byte:", {240, 720, 735, 195}},
        {"lblSN_High", -1, "fraSN", "0x##", {1080, 720, 375, 195}, {"0xDD", "0x00"}},
        {"lblGen", 7, "fraSN", "Low Byte:", {270, 960, 705, 195}},
        {"lblSN_Low", -1, "fraSN", "0x##", {1080, 960, 375, 195}, {"0xDD", "0x00"}},
        {"Frame1", -1, nullptr, "Machine Model", {2520, 120, 2295, 1335}},
        {"lstModel", -1, "Frame1", nullptr, {120, 360, 2055, 840}},
        {"Frame2", -1, nullptr, "Maximum X Travel(0.001 in)", {120, 1560, 2295, 855}},
        {"Frame7", -1, nullptr, "Raster Speed (0.001 in/sec)", {2520, 1560, 2295, 855}},
        {"Frame3", -1, nullptr, "Maximum Y Travel(0.001 in)", {120, 2520, 2295, 855}},
        {"Frame6", -1, nullptr, "Vector Speed (0.001 in/sec)", {2520, 2520, 2295, 855}},
        {"Frame4", -1, nullptr, "Maximum Z Travel (0.001 in)", {120, 3480, 2295, 855}},
        {"Frame5", -1, nullptr, "Z Speed (0.001 in/sec)", {2520, 3480, 2295, 855}},
        {"cboMaxX", -1, "Frame2", nullptr, {240, 360, 1815, 330}, {"65535"}},
        {"cboRaster", -1, "Frame7", nullptr, {240, 360, 1815, 330}, {"65535"}},
        {"cboMaxY", -1, "Frame3", nullptr, {240, 360, 1815, 330}, {"65535"}},
        {"cboVector", -1, "Frame6", nullptr, {240, 360, 1815, 330}, {"65535"}},
        {"cboMaxZ", -1, "Frame4", nullptr, {240, 360, 1815, 330}, {"65535"}},
        {"cboZSpeed", -1, "Frame5", nullptr, {240, 360, 1815, 330}, {"65535"}},
        {"cmdWrite", -1, nullptr, "Set", {5040, 240, 1215, 375}},
        {"cmdRead", -1, nullptr, "Read", {5040, 720, 1215, 375}},
        {"Line1", -1, nullptr, nullptr, {5040, 1200, 1200, 15}},
        {"CmdClearID", -1, nullptr, "Clear ID", {5040, 1320, 1215, 375}, {}, true},
        {"cmdDone", -1, nullptr, "&Done", {5040, 3960, 1215, 375}},
        {"shpConnected", -1, nullptr, nullptr, {120, 4440, 195, 195}},
        {"lblStatus", -1, nullptr, "Connected", {480, 4440, 780, 195}, {"Searching..."}},
    }};

std::vector<Control> MemoryRows() {
  std::vector<Control> rows;
  for (int i = 0; i < 8; ++i) {
    rows.push_back({"lblAddr",
                    i,
                    nullptr,
                    nullptr,
                    {120, 240 + 240 * i, 4725, 210},
                    {"0x58: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF"}});
  }
  return rows;
}

Design MemoryEditor() {
  Design design{"Korimo Parameter Memory",
                {6210, 2400},
                {
                    {"cmdMemClear", -1, nullptr, "Clear", {5160, 240, 855, 375}},
                    {"cmdWriteMem", -1, nullptr, "Write", {5160, 720, 855, 375}},
                    {"cmdClose", -1, nullptr, "Close", {5160, 1800, 855, 375}},
                }};
  for (const Control& row : MemoryRows()) {
    design.controls.push_back(row);
  }
  return design;
}

const Design kJogWindow{
    "Home",
    {7455, 2655},
    {
        {"picMove", 11, nullptr, nullptr, {1200, 120, 615, 495}},
        {"picMove", 21, nullptr, nullptr, {1200, 720, 615, 255}},
        {"picMove", 23, nullptr, nullptr, {1200, 1680, 615, 255}},
        {"picMove", 13, nullptr, nullptr, {1200, 2040, 615, 495}},
        {"picMove", 10, nullptr, nullptr, {120, 1080, 615, 495}},
        {"picMove", 22, nullptr, nullptr, {840, 1080, 255, 495}},
        {"picMove", 20, nullptr, nullptr, {1920, 1080, 255, 495}},
        {"picMove", 12, nullptr, nullptr, {2280, 1080, 615, 495}},
        {"picMove", 5, nullptr, nullptr, {3240, 120, 615, 495}},
        {"picMove", 1, nullptr, nullptr, {3240, 720, 615, 255}},
        {"picMove", 30, nullptr, nullptr, {3240, 1680, 615, 255}},
        {"picMove", 4, nullptr, nullptr, {3240, 2040, 615, 495}},
        {"cmdHomeXY", -1, nullptr, "Home", {1200, 1080, 615, 495}},
        {"Command1", -1, nullptr, "Home", {3240, 1080, 615, 495}},
        {"lblPositionX", -1, nullptr, "##.###", {6000, 120, 1335, 375}, {"65.535", "----"}},
        {"lblPositionY", -1, nullptr, "##.###", {6000, 600, 1335, 375}, {"65.535", "----"}},
        {"lblPositionZ", -1, nullptr, "##.###", {6000, 1080, 1335, 375}, {"65.535"}},
        {"cmdDone", -1, nullptr, "&Done", {6000, 2040, 1335, 495}},
    }};

const Design kIOWindow{"I/O Verification",
                       {7935, 5535},
                       {
                           {"fraKeypad", -1, nullptr, "Keypad", {120, 120, 1695, 3735}},
                           {"shpKeyPower", -1, "fraKeypad", nullptr, {240, 600, 1095, 495}},
                           {"lblKeyPower", -1, "fraKeypad", "POWER", {240, 600, 1095, 495}},
                           {"shpKeyUp", -1, "fraKeypad", nullptr, {240, 1200, 1095, 495}},
                           {"lblKeyUp", -1, "fraKeypad", "UP", {240, 1200, 1095, 495}},
                           {"shpKeyDown", -1, "fraKeypad", nullptr, {240, 1800, 1095, 495}},
                           {"lblKeyDown", -1, "fraKeypad", "DOWN", {240, 1800, 1095, 495}},
                           {"shpKeyPause", -1, "fraKeypad", nullptr, {240, 2400, 1095, 495}},
                           {"lblKeyPause", -1, "fraKeypad", "PAUSE", {240, 2400, 1095, 495}},
                           {"shpKeyStart", -1, "fraKeypad", nullptr, {240, 3000, 1095, 495}},
                           {"lblKeyStart", -1, "fraKeypad", "START", {240, 3000, 1095, 495}},
                           {"shpDoor", -1, nullptr, nullptr, {2280, 240, 195, 195}},
                           {"lblGen", 0, nullptr, "Door", {2640, 240, 1095, 195}},
                           {"shpTable0", -1, nullptr, nullptr, {2280, 600, 195, 195}},
                           {"lblGen", 1, nullptr, "Table.0", {2640, 600, 1095, 195}},
                           {"shpTable1", -1, nullptr, nullptr, {2280, 960, 195, 195}},
                           {"lblGen", 2, nullptr, "Table.1", {2640, 960, 1095, 195}},
                           {"shpConnected", -1, nullptr, nullptr, {120, 4320, 195, 195}},
                           {"lblGen", 8, nullptr, "Connected", {480, 4320, 1095, 195}},
                           {"cmdDone", -1, nullptr, "&Done", {6600, 4920, 1215, 495}},
                       }};

QWidget* Find(const QWidget& window, const char* name, int index) {
  for (QWidget* widget : window.findChildren<QWidget*>(QString::fromLatin1(name))) {
    if (index < 0 || widget->property("index").toInt() == index) {
      return widget;
    }
  }
  return nullptr;
}

QString Caption(const QWidget& widget) {
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    return label->text();
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    return button->text();
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) {
    return frame->title();
  }
  return {};
}

// The text as drawn: an access key's ampersand is not.
QString Drawn(QString text) {
  return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
      .remove(u'&')
      .replace(u'\x01', u'&');
}

// Why `text` would not fit `widget` in the font the platform resolved; empty when it fits.
QString Misfit(QWidget& widget, const QString& text) {
  const QFontMetrics metrics(widget.font());
  QRect room;
  if (auto* label = qobject_cast<QLabel*>(&widget)) {
    room = label->contentsRect();
    if (label->wordWrap()) {
      const QRect needed =
          metrics.boundingRect(room, static_cast<int>(label->alignment()) | Qt::TextWordWrap, text);
      return needed.height() <= room.height() ? QString()
                                              : QStringLiteral("needs %1 px of height, has %2")
                                                    .arg(needed.height())
                                                    .arg(room.height());
    }
  } else if (auto* button = qobject_cast<QPushButton*>(&widget)) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
  } else if (auto* frame = qobject_cast<QGroupBox*>(&widget)) {
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.lineWidth = 1;
    const QRect caption = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, frame);
    // The caption is cut off only where it runs past the frame's right edge.
    room = QRect(caption.left(), caption.top(), frame->width() - caption.left(), caption.height());
  } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
    // QLineEdit keeps two pixels on each side inside its frame.
    const int border =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    room = edit->rect().adjusted(border + 2, border, -border - 2, -border);
  } else {
    return QStringLiteral("no rule for %1")
        .arg(QString::fromLatin1(widget.metaObject()->className()));
  }
  const int width = metrics.horizontalAdvance(Drawn(text));
  if (width > room.width() || metrics.height() > room.height()) {
    return QStringLiteral("\"%1\" needs %2 x %3 px in %4 %5 pt, has %6 x %7")
        .arg(text)
        .arg(width)
        .arg(metrics.height())
        .arg(QFontInfo(widget.font()).family())
        .arg(widget.font().pointSizeF())
        .arg(room.width())
        .arg(room.height());
  }
  return {};
}

// Every text the control shows: its own, its line edit's, its list's entries.
void ExpectTextsFit(QWidget& widget, const QStringList& also_shows) {
  QWidget* shows = &widget;
  QStringList texts = also_shows;
  if (auto* combo = qobject_cast<ui::LockedCombo*>(&widget)) {
    shows = combo->lineEdit();
    texts << combo->Text();
  } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
    texts << edit->text();
  } else if (auto* list = qobject_cast<QListWidget*>(&widget)) {
    const QFontMetrics metrics(list->font());
    for (int i = 0; i < list->count(); ++i) {
      const QRect item = list->visualItemRect(list->item(i));
      EXPECT_LE(metrics.horizontalAdvance(list->item(i)->text()), item.width())
          << list->item(i)->text().toStdString();
      EXPECT_TRUE(list->viewport()->rect().contains(item)) << list->item(i)->text().toStdString();
    }
    return;
  } else if (!Caption(widget).isEmpty()) {
    texts << Caption(widget);
  }
  for (const QString& text : texts) {
    const QString misfit = Misfit(*shows, text);
    EXPECT_TRUE(misfit.isEmpty()) << misfit.toStdString();
  }
}

// How far a scaled edge may stand from the exact product: rounding.
int Slack(double ratio) {
  return ratio == 1.0 ? 0 : 1;
}

bool Near(const QRect& got, const QRect& want, int slack) {
  return std::abs(got.left() - want.left()) <= slack && std::abs(got.top() - want.top()) <= slack &&
         std::abs(got.width() - want.width()) <= slack &&
         std::abs(got.height() - want.height()) <= slack;
}

QRect Scaled(const QRect& rect, double ratio) {
  return {static_cast<int>(std::lround(rect.left() * ratio)),
          static_cast<int>(std::lround(rect.top() * ratio)),
          static_cast<int>(std::lround(rect.width() * ratio)),
          static_cast<int>(std::lround(rect.height() * ratio))};
}

void SaveShot(QWidget& window, const NativeWindow& native, const char* name) {
  const QString folder = qEnvironmentVariable("KORIMO_DESKTOP_SHOTS");
  if (folder.isEmpty()) {
    return;
  }
  QDir().mkpath(folder);
  const double ratio = window.devicePixelRatioF();
  const QRect frame = native.frame;
  const QPixmap shot = window.screen()->grabWindow(
      0, static_cast<int>(frame.x() / ratio), static_cast<int>(frame.y() / ratio),
      static_cast<int>(std::lround(frame.width() / ratio)),
      static_cast<int>(std::lround(frame.height() / ratio)));
  const QString path =
      QDir(folder).filePath(QStringLiteral("%1@%2.png").arg(QLatin1String(name)).arg(ratio));
  EXPECT_TRUE(shot.save(path)) << path.toStdString();
}

// The window as the platform shows it against its design. `below` is the
// height in logical pixels under the designed client area (a status bar).
void ExpectAsDesigned(QWidget& window, const Design& design, const char* shot, int below = 0) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 30000));
  QCoreApplication::processEvents();
  const std::optional<NativeWindow> native = ReadNativeWindow(window);
  ASSERT_TRUE(native.has_value()) << "the platform does not report the window";
  EXPECT_EQ(native->title.toStdString(), design.caption);
  EXPECT_TRUE(native->shown);

  const double ratio = window.devicePixelRatioF();
  const int slack = Slack(ratio);
  const QSize client(Px(design.client.width()), Px(design.client.height()) + below);
  EXPECT_TRUE(
      Near(native->client, Scaled(QRect(native->client.topLeft() / ratio, client), ratio), slack))
      << "client area " << native->client.width() << " x " << native->client.height()
      << ", designed " << client.width() << " x " << client.height() << " at " << ratio;

  std::vector<std::pair<const Control*, QRect>> placed;  // design rectangles in the client area
  for (const Control& control : design.controls) {
    SCOPED_TRACE(::testing::Message() << control.name << "(" << control.index << ")");
    QWidget* widget = Find(window, control.name, control.index);
    ASSERT_NE(widget, nullptr) << "no control";
    EXPECT_EQ(widget->isVisible(), !control.hidden);
    if (control.caption != nullptr) {
      EXPECT_EQ(Caption(*widget).toStdString(), control.caption);
    }
    QRect designed = ui::TwipsRect(control.twips.x(), control.twips.y(), control.twips.width(),
                                   control.twips.height());
    if (control.parent != nullptr) {
      const auto parent = std::find_if(placed.begin(), placed.end(), [&](const auto& entry) {
        return std::string_view(entry.first->name) == control.parent;
      });
      ASSERT_NE(parent, placed.end()) << "its frame comes first in the design";
      designed.translate(parent->second.topLeft());
    }
    placed.emplace_back(&control, designed);
    if (control.hidden) {
      continue;
    }
    const QPoint global = widget->mapToGlobal(QPoint(0, 0));
    const QRect on_screen(QPoint(static_cast<int>(std::lround(global.x() * ratio)),
                                 static_cast<int>(std::lround(global.y() * ratio))) -
                              native->client.topLeft(),
                          Scaled(widget->rect(), ratio).size());
    EXPECT_TRUE(Near(on_screen, Scaled(designed, ratio), slack))
        << "stands at " << on_screen.x() << ", " << on_screen.y() << ", " << on_screen.width()
        << " x " << on_screen.height() << "; designed " << designed.x() << ", " << designed.y()
        << ", " << designed.width() << " x " << designed.height() << " at " << ratio;
    EXPECT_TRUE(test::ResolvesToDesignFace(widget->font()))
        << widget->font().family().toStdString() << " resolved to "
        << QFontInfo(widget->font()).family().toStdString();
    ExpectTextsFit(*widget, control.also_shows);
  }

  // Controls designed apart stay apart on the screen.
  for (std::size_t i = 0; i < placed.size(); ++i) {
    for (std::size_t j = i + 1; j < placed.size(); ++j) {
      const auto& [a, a_rect] = placed[i];
      const auto& [b, b_rect] = placed[j];
      if (a->hidden || b->hidden || a_rect.intersects(b_rect) ||
          (a->parent == nullptr) != (b->parent == nullptr)) {
        continue;
      }
      const QRect a_screen(Find(window, a->name, a->index)->mapTo(&window, QPoint(0, 0)),
                           Find(window, a->name, a->index)->size());
      const QRect b_screen(Find(window, b->name, b->index)->mapTo(&window, QPoint(0, 0)),
                           Find(window, b->name, b->index)->size());
      EXPECT_FALSE(Scaled(a_screen, ratio).intersects(Scaled(b_screen, ratio)))
          << a->name << "(" << a->index << ") overlaps " << b->name << "(" << b->index << ")";
    }
  }
  SaveShot(window, *native, shot);
}

// Answers the modal dialogs that come up, in order, each from inside its own
// event loop, as WhenModal answers one.
class ModalAnswers {
 public:
  explicit ModalAnswers(std::vector<std::function<void(QWidget&)>> acts)
      : state_(std::make_shared<State>()) {
    state_->acts = std::move(acts);
    Post(state_);
  }
  ~ModalAnswers() {
    EXPECT_EQ(state_->next, state_->acts.size()) << "not every dialog came up";
    state_->next = state_->acts.size();
  }
  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

 private:
  struct State {
    std::vector<std::function<void(QWidget&)>> acts;
    std::size_t next = 0;
  };
  std::shared_ptr<State> state_;

  static void Post(std::shared_ptr<State> state) {
    QMetaObject::invokeMethod(
        qApp,
        [state] {
          if (state->next >= state->acts.size()) {
            return;
          }
          QWidget* modal = QApplication::activeModalWidget();
          if (modal != nullptr && !modal->property("answered").toBool()) {
            modal->setProperty("answered", true);
            state->acts[state->next++](*modal);
          }
          Post(state);
        },
        Qt::QueuedConnection);
  }
};

// A message box or prompt with `title` and `text`, answered by `answer`.
std::function<void(QWidget&)> Expect(std::string title, std::string text,
                                     std::function<void(QWidget&)> answer) {
  return [=](QWidget& modal) {
    SCOPED_TRACE(text);
    if (QTest::qWaitForWindowExposed(&modal, 30000)) {
      const std::optional<NativeWindow> native = ReadNativeWindow(modal);
      EXPECT_TRUE(native.has_value());
      EXPECT_EQ(native ? native->title.toStdString() : std::string(), title);
    } else {
      ADD_FAILURE() << "the dialog was not shown";
    }
    bool shown = false;
    std::string texts;
    for (QLabel* label : modal.findChildren<QLabel*>()) {
      if (label->isVisible() && !label->text().isEmpty()) {
        shown = shown || label->text().toStdString() == text;
        texts += "\n  " + label->text().toStdString();
        ExpectTextsFit(*label, {});
      }
    }
    EXPECT_TRUE(shown) << "the text is not shown; shown:" << texts;
    answer(modal);
  };
}

void Click(QWidget& modal, QMessageBox::StandardButton which) {
  auto* box = qobject_cast<QMessageBox*>(&modal);
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->button(which), nullptr);
  box->button(which)->click();
}

std::function<void(QWidget&)> Ok() {
  return [](QWidget& modal) { Click(modal, QMessageBox::Ok); };
}

std::function<void(QWidget&)> Enter(const QString& entry) {
  return [entry](QWidget& modal) {
    auto* dialog = qobject_cast<QInputDialog*>(&modal);
    ASSERT_NE(dialog, nullptr);
    dialog->setTextValue(entry);
    dialog->accept();
  };
}

class Desktop : public ::testing::Test {
 protected:
  Desktop() : platform_(clock_, testing::InstantBoard()) {
    window_.SetEndProgram([this] { ++ended_; });
    io_.SetEndProgram([this] { ++ended_; });
    timers_.Fire(QStringLiteral("tmrStatus"));  // the engraver is there: the lamp turns green
  }
  ~Desktop() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  // Presses `keys` on `window` through the platform and lets them arrive.
  template <typename Done>
  void Press(QWidget& window, const char* keys, Done done) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 30000));
    ASSERT_TRUE(PressKeys(window, QString::fromLatin1(keys)));
    EXPECT_TRUE(QTest::qWaitFor(done, 30000)) << keys;
  }

  sim::ManualClock clock_;
  sim::SimPlatform platform_;
  testing::ScriptedPump pump_;
  ui::QtPrompts prompts_;
  test::ManualTimers timers_;
  RegistryFinder finder_{platform_.GetCatalogue()};
  modKT90 kt90_{finder_, platform_.GetFiles(), pump_};
  s window_{kt90_, prompts_, nullptr, timers_};
  jog::MoveOpener jog_{kt90_, prompts_, nullptr, timers_};
  iocheck::IOOpener io_{kt90_, nullptr, timers_};
  int ended_ = 0;
};

TEST_F(Desktop, MainWindow) {
  ExpectAsDesigned(window_, kMainWindow, "main-window");
}

TEST_F(Desktop, MemoryEditor) {
  window_.show();
  frmMemEdit editor(kt90_, prompts_, &window_);
  ExpectAsDesigned(editor, MemoryEditor(), "memory-editor");
}

TEST_F(Desktop, JogWindow) {
  jog_.Open();
  frmMove& jog = *jog_.Window();
  ExpectAsDesigned(jog, kJogWindow, "jog-window", jog.statusBar()->height());
}

TEST_F(Desktop, IOWindow) {
  io_.Open();
  ExpectAsDesigned(*io_.Window(), kIOWindow, "io-window");
}

// Every message box and prompt a user meets carries its own title, or the
// application's where it has none, and shows its whole text.
TEST_F(Desktop, PromptsCarryTheirTitles) {
  const std::string app = "Korimo Configuration";
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_, 30000));
  platform_.Unplug();  // what is sent is cut short
  {
    const ModalAnswers answers({Expect(app, std::string(kSerialNumberMissing), Ok())});
    window_.cmdWrite_Click();
  }
  window_.findChild<QLineEdit*>(QStringLiteral("txtSN"))->setText(QStringLiteral("00042"));
  {
    const ModalAnswers answers({Expect(app, NotDeliveredMessage(0, 79, "values", "Set"), Ok())});
    window_.cmdWrite_Click();
  }
  {
    const ModalAnswers answers(
        {Expect("Reset VID/PID",
                "This will reset the engraver VID/PID.  Are you sure you want to continue?",
                [](QWidget& modal) { Click(modal, QMessageBox::Yes); }),
         Expect(app, std::string(kClearIdNotDelivered), Ok())});
    window_.CmdClearID_Click();
  }

  // Unplugged, the engraver answers none of the editor's reads, and its load says so.
  const std::string nothing_read = RowsNotReadMessage(frmMemEdit::kRowCount, true, "");
  auto load = std::make_unique<ModalAnswers>(
      std::vector<std::function<void(QWidget&)>>{Expect(app, nothing_read, Ok())});
  frmMemEdit editor(kt90_, prompts_, &window_);
  load.reset();
  editor.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor, 30000));
  {
    const ModalAnswers answers({Expect("EEPROM WRITE - Addr", "Enter Address", Enter("64")),
                                Expect(app, "Invalid Value", Ok())});
    editor.cmdWriteMem_Click();
  }
  {
    const ModalAnswers answers({Expect("EEPROM WRITE - Addr", "Enter Address", Enter("32")),
                                Expect(app, "Enter Value", Enter("7")),
                                Expect(app, std::string(kWriteNotDelivered), Ok())});
    editor.cmdWriteMem_Click();
  }
  {
    const ModalAnswers answers(
        {Expect(app, NotDeliveredMessage(0, 64, "cells", "Clear") + " " + nothing_read, Ok())});
    editor.cmdMemClear_Click();
  }
  editor.hide();

  // A held jog button walks its file only once a whole status said idle: the
  // engraver is back for the missing file to be looked for.
  platform_.Plug();
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  jog_.Open();
  jog_.Window()->SetProgramFolder(empty.path());
  jog_.Window()->picMove_MouseDown(12);
  {
    const ModalAnswers answers({Expect(app, "Movement File is missing", Ok())});
    timers_.Fire(QStringLiteral("tmrMove"));
  }
  jog_.Window()->picMove_MouseUp(12);
}

// Alt+D ends the program from the main and I/O windows and hides the jog
// window; Tab walks the controls in their designed order.
TEST_F(Desktop, AccessKeysAndTabOrder) {
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_, 30000));
  Press(window_, "alt+d", [this] { return ended_ == 1; });

  // The six fields hold the model's presets and are disabled; Clear ID is hidden.
  window_.findChild<QWidget*>(QStringLiteral("txtSN"))->setFocus();
  std::vector<std::string> order;
  for (int i = 0; i < 5; ++i) {
    const QWidget* before = QApplication::focusWidget();
    Press(window_, "Tab", [before] { return QApplication::focusWidget() != before; });
    order.push_back(QApplication::focusWidget()
                        ? QApplication::focusWidget()->objectName().toStdString()
                        : std::string());
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"lstModel", "cmdWrite", "cmdRead", "cmdDone", "txtSN"}));

  frmMemEdit editor(kt90_, prompts_, &window_);
  editor.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor, 30000));
  editor.findChild<QWidget*>(QStringLiteral("cmdWriteMem"))->setFocus();
  order.clear();
  for (int i = 0; i < 3; ++i) {
    const QWidget* before = QApplication::focusWidget();
    Press(editor, "Tab", [before] { return QApplication::focusWidget() != before; });
    order.push_back(QApplication::focusWidget()
                        ? QApplication::focusWidget()->objectName().toStdString()
                        : std::string());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"cmdMemClear", "cmdClose", "cmdWriteMem"}));
  editor.hide();

  jog_.Open();
  frmMove& jog = *jog_.Window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&jog, 30000));
  Press(jog, "alt+d", [&jog] { return !jog.isVisible(); });
  const std::optional<NativeWindow> hidden = ReadNativeWindow(jog);
  ASSERT_TRUE(hidden.has_value());
  EXPECT_FALSE(hidden->shown);
  EXPECT_EQ(ended_, 1) << "the jog window's Done only hides it";

  io_.Open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(io_.Window(), 30000));
  Press(*io_.Window(), "alt+d", [this] { return ended_ == 2; });
}

}  // namespace
}  // namespace korimo::desktop
