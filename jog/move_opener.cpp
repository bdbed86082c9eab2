#include "jog/move_opener.h"

namespace korimo::jog {

MoveOpener::MoveOpener(modKT90& kt90, Prompts& prompts, QObject* parent, ui::TimerPort& timers)
    : QObject(parent), kt90_(kt90), prompts_(prompts), timers_(timers) {}

void MoveOpener::Open() {
  // The unloaded window deletes itself once it is safe; a later opening loads a new one.
  window_.ShowInFront(*this, [this] { return new frmMove(kt90_, prompts_, nullptr, timers_); });
}

QShortcut* MoveOpener::AddShortcut(QWidget& window) {
  return ui::AddOpenShortcut(window, kMoveShortcut, *this, [this] { Open(); });
}

}  // namespace korimo::jog
