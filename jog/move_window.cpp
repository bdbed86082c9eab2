// Jogging, homing and the position readouts of the jog window.
#include "jog/move_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

#include "config/numeric.h"
#include "jog/jog_button.h"
#include "jog/jog_buttons.h"
#include "motion/move_file.h"

namespace korimo {
namespace {

const QColor kReadoutGreen(0, 255, 0);
const QColor kReadoutRed(255, 0, 0);

// Assigns `caption` only when it differs from the label's text.
void SetCaptionIfChanged(QLabel& label, const QString& caption) {
  if (label.text() != caption) {
    label.setText(caption);
  }
}

void SetReadoutColour(QLabel& label, const QColor& colour) {
  QPalette colours = label.palette();
  colours.setColor(QPalette::WindowText, colour);
  label.setPalette(colours);
}

}  // namespace

QString PositionText(std::int32_t value, const QLocale& locale) {
  return QString::fromStdString(PositionText(value, locale.decimalPoint().toStdString()));
}

frmMove::frmMove(modKT90& kt90, Prompts& prompts, QWidget* parent, ui::TimerPort& timers)
    : QMainWindow(parent),
      kt90_(kt90),
      prompts_(prompts),
      timers_(timers),
      program_folder_(QCoreApplication::applicationDirPath()) {
  BuildControls();
  for (jog::JogButton* button : picMove) {
    connect(button, &jog::JogButton::MouseDown, this, &frmMove::picMove_MouseDown);
    connect(button, &jog::JogButton::MouseUp, this, &frmMove::picMove_MouseUp);
  }
  connect(cmdHomeXY, &QPushButton::clicked, this, &frmMove::cmdHomeXY_Click);
  connect(cmdDone, &QPushButton::clicked, this, &frmMove::cmdDone_Click);
  connect(tmrMove, &ui::WindowTimer::timeout, this, &frmMove::tmrMove_Timer);
  connect(walkTicks_, &ui::WindowTimer::timeout, this, &frmMove::tmrMove_Timer);
  tmrMove->start();
}

QString frmMove::MoveFilePath(int index) const {
  const jog::JogButtonDesign* button = jog::FindJogButton(index);
  if (button == nullptr) {
    return {};
  }
  const QString name =
      QString::fromLatin1(button->tag) + QString::fromLatin1(jog::kMoveFileExtension);
  return QDir::toNativeSeparators(QDir(program_folder_).filePath(name));
}

void frmMove::picMove_MouseDown(int Index, Qt::MouseButton /*Button*/,
                                Qt::KeyboardModifiers /*Shift*/, QPointF /*where*/) {
  HeldJogIndex_ = static_cast<std::int16_t>(Index);
}

void frmMove::picMove_MouseUp(int /*Index*/, Qt::MouseButton /*Button*/,
                              Qt::KeyboardModifiers /*Shift*/, QPointF /*where*/) {
  HeldJogIndex_ = 0;
}

void frmMove::tmrMove_Timer() {
  const ui::UnloadAfterHandlers::Running scope(lifetime_);
  const bool idle = kt90_.IsControllerBusy() == BusyState::kIdle;
  if (idle && HeldJogIndex_ != 0 && !walking_) {
    if (QApplication::activeModalWidget() != nullptr) {
      // A dialog holds the mouse: the release cannot reach the button any more,
      // and a walk could stack its message on the dialog.
      HeldJogIndex_ = 0;
    } else {
      WalkHeldFile();
    }
  }
  const QLocale locale;
  // With no engraver the readouts show 00.000; with one, a position that did
  // not answer keeps what its readout showed.
  const bool absent = kt90_.DevicePath().empty();
  const auto show = [&](QLabel& label, std::optional<std::int32_t> position) {
    if (position || absent) {
      SetCaptionIfChanged(label, PositionText(position.value_or(0), locale));
    }
  };
  show(*lblPositionX, kt90_.GetPositionX());
  show(*lblPositionY, kt90_.GetPositionY());
  show(*lblPositionZ, kt90_.GetPositionZ());
}

void frmMove::WalkHeldFile() {
  const QString path = MoveFilePath(HeldJogIndex_);
  walking_ = true;
  walkTicks_->start();
  const MoveFileResult result =
      PlayMoveFile(QFile::encodeName(path).toStdString(), kt90_, prompts_);
  walkTicks_->stop();
  walking_ = false;
  if (result != MoveFileResult::kWalked) {
    // Reported once: the release may have happened in the message box.
    HeldJogIndex_ = 0;
  }
}

void frmMove::cmdHomeXY_Click() {
  // X and Y show the marks in red while the controller homes, then green.
  for (QLabel* label : {lblPositionX, lblPositionY}) {
    SetReadoutColour(*label, kReadoutRed);
    SetCaptionIfChanged(*label, QString::fromLatin1(kHomeMarks));
    label->repaint();
  }
  kt90_.HomeXY();
  for (QLabel* label : {lblPositionX, lblPositionY}) {
    SetReadoutColour(*label, kReadoutGreen);
    label->repaint();
  }
}

void frmMove::closeEvent(QCloseEvent* event) {
  event->accept();
  // A walk in progress may still be waiting on the controller further down
  // the stack; the last tick to return deletes the window.
  lifetime_.Unload([this] {
    tmrMove->stop();
    walkTicks_->stop();
    emit Unloaded();
  });
}

}  // namespace korimo
