// The board serial number: the field txtSN, the spin control udSN that holds
// the value, and the two byte labels that follow it.
#include <QLabel>

#include "config/numeric.h"
#include "mainwin/main_window.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"

namespace korimo {

void s::txtSN_KeyPress(int& KeyAscii) {
  if (KeyAscii == 13) {
    CommitSerialNumber();
  }
  if (!IsDigitKey(static_cast<char32_t>(KeyAscii))) {
    KeyAscii = 0;
  }
}

void s::txtSN_LostFocus() {
  CommitSerialNumber();
}

void s::CommitSerialNumber() {
  const std::string text = txtSN->text().toStdString();
  if (IsNumber(text)) {
    std::int32_t value = RoundHalfEven(NumericValue(text));
    Clamp(value, 0, kWordMax);
    udSN->SetValue(value);
  }
  serial_.Committed(IsNumber(text));
  // A number that udSN already held, and text that is no number, both leave
  // the field showing the spin value in five digits.
  const QString shown = QString::fromStdString(FiveDigits(udSN->Value()));
  if (txtSN->text() != shown) {
    txtSN->setText(shown);
  }
  ShowSerialNumberBytes();
}

void s::txtSN_Edited() {
  serial_.Edited();
}

bool s::SerialNumberGiven() const {
  return serial_.Given(IsNumber(txtSN->text().toStdString()));
}

void s::udSN_Change() {
  // The value changed: the user stepped it or a number was committed.
  serial_.SpinChanged();
  txtSN->setText(QString::fromStdString(FiveDigits(udSN->Value())));
  ShowSerialNumberBytes();
}

void s::ShowSerialNumberBytes() {
  const int value = udSN->Value();
  lblSN_High->setText(QString::fromStdString(HexByte(static_cast<std::uint8_t>(value / 256))));
  lblSN_Low->setText(QString::fromStdString(HexByte(static_cast<std::uint8_t>(value % 256))));
}

}  // namespace korimo
