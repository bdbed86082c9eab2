// The parameter memory editor frmMemEdit ("Korimo Parameter Memory"): shows
// the fixed parameter block, addresses 0x20 to 0x5F, as eight rows of eight
// bytes, writes one byte at a chosen address and sets the whole block to 0xFF.
//
// The rows are read when the window loads (its constructor) and after Clear,
// never after Write. "Close" hides the window; the title-bar close unloads it:
// Unloaded tells the owner at once, and the object deletes itself as soon as
// none of its own handlers is running any more.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/service_texts.h"
#include "device/modKT90.h"
#include "device/ports.h"
#include "ui/window_lifetime.h"

class QLabel;
class QPushButton;

namespace korimo {

inline constexpr std::string_view kEnterAddress = "Enter Address";
inline constexpr std::string_view kEnterAddressTitle = "EEPROM WRITE - Addr";
inline constexpr std::string_view kEnterValue = "Enter Value";
inline constexpr std::string_view kWriteNotDelivered =
    "The value did not reach the engraver. Write it again once the engraver is connected.";

// After a load or a Clear that left rows unread: they keep what they showed.
// `found`: there was an engraver to ask; `reason`: why it did not answer,
// where the platform said so.
std::string RowsNotReadMessage(int not_read, bool found, std::string_view reason);

class frmMemEdit : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRowCount = 8;
  static constexpr int kRowLength = 8;  // bytes

  // Builds the window and loads it: the rows are read here, once per window object.
  frmMemEdit(modKT90& kt90, Prompts& prompts, QWidget* parent = nullptr);

  // Event handlers.
  void cmdWriteMem_Click();
  void cmdMemClear_Click();

  // Shows the window modally; returns once it is hidden or unloaded. Asked
  // again while an earlier call has not returned yet (Close hid the window
  // while a Write waited on the controller), it shows the window at once and
  // the earlier call returns only when it is hidden again.
  void ShowModal();

 signals:
  // The title-bar close unloaded the window.
  void Unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void SetControlsEnabled(bool enabled);
  // The rows read afresh `times` times over; the message for those that none
  // of the reads reached, or nothing when every row was read.
  std::optional<std::string> ReadRows(int times);
  // Asks for a whole number below `limit`; nothing when the entry is not a
  // number or cancelled (silently) or out of range ("Invalid Value").
  std::optional<std::uint8_t> AskByte(std::string_view prompt, std::string_view title, int limit);

  modKT90& kt90_;
  Prompts& prompts_;
  // The handlers on the stack (their waits let the title-bar close in).
  ui::UnloadAfterHandlers lifetime_{*this};
  bool in_exec_ = false;      // a ShowModal is on the stack
  bool shown_again_ = false;  // shown again while it was

  // Controls, named as the window names them.
  QPushButton* cmdMemClear = nullptr;
  QPushButton* cmdWriteMem = nullptr;
  QPushButton* cmdClose = nullptr;
  std::array<QLabel*, kRowCount> lblAddr{};
};

}  // namespace korimo
