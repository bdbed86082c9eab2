// The refresh and Done of the I/O window.
#include "iocheck/io_window.h"

#include <QCloseEvent>
#include <QPushButton>

#include "ui/lamp.h"

namespace korimo {
namespace {

constexpr int kLitBorder = 3;
constexpr int kDarkBorder = 1;

}  // namespace

frmIO::frmIO(modKT90& kt90, QWidget* parent, ui::TimerPort& timers)
    : QWidget(parent), kt90_(kt90), timers_(timers), end_program_(&ui::EndProgram) {
  BuildControls();
  connect(cmdDone, &QPushButton::clicked, this, &frmIO::cmdDone_Click);
  connect(tmrStatus, &ui::WindowTimer::timeout, this, &frmIO::tmrStatus_Timer);
  tmrStatus->start();
}

void frmIO::tmrStatus_Timer() {
  const bool connected = kt90_.IsDeviceConnected();
  ui::SetIndicator(*shpConnected, connected);
  if (!connected) {
    return;  // the inputs keep what they last showed
  }
  const std::optional<std::uint8_t> answer = kt90_.GetStatusByte(status::kInputs);
  if (!answer) {
    return;  // no answer: the lamps keep what they showed
  }
  for (std::size_t i = 0; i < inputs::kNamed.size(); ++i) {
    const bool on = (*answer & inputs::kNamed[i].bit) != 0;
    if (i < inputs::kKeyCount) {
      SetKeyIndicator(*inputLamps_[i], on);
    } else {
      ui::SetIndicator(*inputLamps_[i], on);
    }
  }
  // Read on every refresh; nothing shows it.
  (void)kt90_.GetStatusByte(status::kUnusedByte3);
}

void frmIO::SetKeyIndicator(ui::Lamp& shape, bool on) {
  shape.SetBackColor(on ? ui::kLampOn : shape.palette().color(QPalette::Button));
  shape.SetBorderWidth(on ? kLitBorder : kDarkBorder);
}

void frmIO::cmdDone_Click() {
  if (end_program_) {
    end_program_();
  }
}

void frmIO::closeEvent(QCloseEvent* event) {
  event->accept();
  lifetime_.Unload([this] {
    tmrStatus->stop();
    emit Unloaded();
  });
}

}  // namespace korimo
