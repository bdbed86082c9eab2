// Connection supervision: four times a second the status timer asks whether
// the engraver is present, paints the lamp, and on a change of presence
// switches the window between its working and searching states. The state is
// held by the enabled state of Read, except while a Set holds the buttons.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "config/main_window.h"
#include "ui/lamp.h"
#include "ui/text_box.h"

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
  if (connected && !Working()) {
    SetCommandsEnabled(true);
    SwitchControls(true);
    lblStatus->setText(QStringLiteral("Connected"));
    if (set_running_) {
      read_deferred_ = true;
    } else {
      cmdRead_Click();
    }
  } else if (!connected && Working()) {
    SetCommandsEnabled(false);
    SwitchControls(false);
    lblStatus->setText(QStringLiteral("Searching..."));
    read_deferred_ = false;  // a removal cancels the Read an arrival asked for
  }
}

bool s::Working() const {
  return set_running_ ? working_during_set_ : cmdRead->isEnabled();
}

void s::SetCommandsEnabled(bool enabled) {
  if (set_running_) {
    working_during_set_ = enabled;  // applied when the Set ends
    return;
  }
  cmdRead->setEnabled(enabled);
  cmdWrite->setEnabled(enabled);
  CmdClearID->setEnabled(enabled);
}

// Text boxes, frames, labels, list boxes and menu items; never the combo
// boxes (their frames are switched), the spin control, Done, the line or the lamp.
void s::SwitchControls(bool enabled) {
  for (QWidget* control : client_->findChildren<QWidget*>()) {
    if (auto* text_box = qobject_cast<QLineEdit*>(control)) {
      if (qobject_cast<QComboBox*>(text_box->parentWidget()) != nullptr) {
        continue;  // the text part of a drop-down field
      }
      text_box->setEnabled(enabled);
      if (!enabled) {
        text_box->setText(QString());
      }
    } else if (qobject_cast<QGroupBox*>(control) != nullptr ||
               qobject_cast<QLabel*>(control) != nullptr ||
               qobject_cast<QListWidget*>(control) != nullptr) {
      control->setEnabled(enabled);
    }
  }
  SwitchMenuItems(menuBar()->actions(), enabled);
}

void s::EndSet() {
  set_running_ = false;
  const bool working = working_during_set_;
  cmdRead->setEnabled(working);
  cmdWrite->setEnabled(working);
  CmdClearID->setEnabled(working);
  // Set only by an arrival and cleared by a removal: the engraver is there.
  const bool read_now = read_deferred_;
  read_deferred_ = false;
  if (read_now) {
    cmdRead_Click();
  }
  emit SetFinished();
}

}  // namespace korimo
