// Connection supervision: four times a second the status timer asks whether
// the engraver is present, paints the lamp, and on a change of presence
// switches the window between its working and searching states. The state is
// held by the enabled state of Read, except while a Set holds the buttons: then
// the Set's state keeps it (mainwin/set_state.h). An arrival's Read waits while a
// message box is up.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>

#include "mainwin/main_window.h"
#include "ui/lamp.h"
#include "ui/qt_prompts.h"

namespace korimo {
namespace {

void SwitchMenuItems(const QList<QAction*>& actions, bool enabled) {
  for (QAction* action : actions) {
    if (action->isSeparator()) {
      continue;
    }
    action->setEnabled(enabled);
    if (QMenu* menu = action->menu()) {
      menu->setEnabled(enabled);
      SwitchMenuItems(menu->actions(), enabled);
    }
  }
}

}  // namespace

void s::tmrStatus_Timer() {
  const bool connected = kt90_.IsDeviceConnected();
  ui::SetIndicator(*shpConnected, connected);
  if (kt90_.DeviceTrouble() != shown_trouble_) {
    // An engraver that is there but cannot be used: the status row says why.
    shown_trouble_ = kt90_.DeviceTrouble();
    const QString tip = QString::fromStdString(shown_trouble_);
    lblStatus->setToolTip(tip);
    shpConnected->setToolTip(tip);
    emit DeviceTroubleChanged(tip);
  }
  if (connected != Working()) {
    EngraverChanged(connected);
  } else if (arrival_read_waits_ && !set_.Running() && !ui::PromptUp()) {
    cmdRead_Click();
  }
}

bool s::Working() const {
  return set_.Running() ? set_.Working() : cmdRead->isEnabled();
}

// The engraver came (`there`) or went. The commands follow at once, or when a
// Set that holds them ends; so does the Read that an arrival runs.
void s::EngraverChanged(bool there) {
  arrival_read_waits_ = false;
  if (!set_.Running()) {
    for (QPushButton* command : {cmdRead, cmdWrite, CmdClearID}) {
      command->setEnabled(there);
    }
  } else if (there) {
    set_.Arrival();
  } else {
    set_.Removal();
  }
  SwitchControls(there);
  lblStatus->setText(there ? QStringLiteral("Connected") : QStringLiteral("Searching..."));
  if (!there || set_.Running()) {
    return;
  }
  // One message box at a time: while one is up (a Set's, or the memory
  // editor's, whose event loop runs this tick), the Read that could end in a
  // message of its own waits for the first tick after it closed.
  if (ui::PromptUp()) {
    arrival_read_waits_ = true;
  } else {
    cmdRead_Click();
  }
}

bool s::HeldBySet(const QWidget* control) const {
  return set_.Running() && std::ranges::find(held_, control, &HeldControl::control) != held_.end();
}

// Text boxes, frames, labels, list boxes and menu items; never the combo
// boxes (their frames are switched), the spin control, Done, the line or the lamp.
void s::SwitchControls(bool enabled) {
  for (QWidget* control : client_->findChildren<QWidget*>()) {
    if (auto* text_box = qobject_cast<QLineEdit*>(control)) {
      if (qobject_cast<QComboBox*>(text_box->parentWidget()) != nullptr) {
        continue;  // the text part of a drop-down field
      }
      if (!HeldBySet(text_box)) {
        text_box->setEnabled(enabled);
      }
      if (!enabled) {
        text_box->setText(QString());
      }
    } else if (qobject_cast<QGroupBox*>(control) != nullptr ||
               qobject_cast<QLabel*>(control) != nullptr ||
               (qobject_cast<QListWidget*>(control) != nullptr && !HeldBySet(control))) {
      control->setEnabled(enabled);
    }
  }
  SwitchMenuItems(menuBar()->actions(), enabled);
}

}  // namespace korimo
