#include "iocheck/io_opener.h"

namespace korimo::iocheck {

IOOpener::IOOpener(modKT90& kt90, QObject* parent, ui::TimerPort& timers)
    : QObject(parent), kt90_(kt90), timers_(timers), end_program_(&ui::EndProgram) {}

void IOOpener::SetEndProgram(ui::EndProgramHook end) {
  end_program_ = std::move(end);
  if (frmIO* window = window_.Window()) {
    window->SetEndProgram(end_program_);
  }
}

void IOOpener::Open() {
  window_.ShowInFront(*this, [this] {
    auto* window = new frmIO(kt90_, nullptr, timers_);
    window->SetEndProgram(end_program_);
    return window;
  });
}

QShortcut* IOOpener::AddShortcut(QWidget& window) {
  return ui::AddOpenShortcut(window, kIOShortcut, *this, [this] { Open(); });
}

}  // namespace korimo::iocheck
