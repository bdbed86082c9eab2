// The refresh and Done of the I/O window.
#include "iocheck/io_window.h"

#include <QCloseEvent>
#include <QPushButton>

#include "ui/lamp.h"

namespace korimo {
namespace {

constexpr int kLitBorder = 3;
constexpr int kDarkBorder = 1;

bool Bit(std::uint8_t byte, std::uint8_t mask) {
  return (byte & mask) != 0;
}

}  // namespace

frmIO::frmIO(modKT90& kt90, QWidget* parent, ui::TimerPort& timers)
    : QWidget(parent), kt90_(kt90), timers_(timers), end_program_(&ui::EndProgram) {
  BuildControls();
  connect(cmdDone, &QPushButton::clicked, this, [this] { cmdDone_Click(); });
  connect(tmrStatus, &ui::WindowTimer::timeout, this, [this] { tmrStatus_Timer(); });
  tmrStatus->start();
}

frmIO::~frmIO() = default;

void frmIO::tmrStatus_Timer() {
  if (!kt90_.IsDeviceConnected()) {
    // The inputs keep what they last showed.
    ui::SetIndicator(*shpConnected, false);
    return;
  }
  ui::SetIndicator(*shpConnected, true);
  const std::optional<std::uint8_t> answer = kt90_.GetStatusByte(status::kInputs);
  if (!answer) {
    return;  // no answer: the lamps keep what they showed
  }
  const std::uint8_t inputs = *answer;
  SetKeyIndicator(*shpKeyPower, Bit(inputs, inputs::kPowerKey));
  SetKeyIndicator(*shpKeyDown, Bit(inputs, inputs::kDownKey));
  SetKeyIndicator(*shpKeyUp, Bit(inputs, inputs::kUpKey));
  SetKeyIndicator(*shpKeyPause, Bit(inputs, inputs::kPauseKey));
  SetKeyIndicator(*shpKeyStart, Bit(inputs, inputs::kStartKey));
  ui::SetIndicator(*shpTable0, Bit(inputs, inputs::kTable0));
  ui::SetIndicator(*shpTable1, Bit(inputs, inputs::kTable1));
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
  if (lifetime_.Unloading()) {
    return;
  }
  lifetime_.Unload([this] {
    tmrStatus->stop();
    emit Unloaded();
  });
}

}  // namespace korimo
