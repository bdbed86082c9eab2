// Load, Write, Clear and Close of the memory editor.
#include "memedit/mem_edit_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "config/memory_map.h"
#include "config/numeric.h"
#include "config/plan_runner.h"
#include "ui/engraver_lookup.h"

namespace korimo {

std::string RowsNotReadMessage(int not_read, bool found, std::string_view reason) {
  std::string message = found ? "The engraver did not answer" : "No engraver was found";
  if (found && !reason.empty()) {
    message += " (" + std::string(reason) + ")";
  }
  const std::string rows = std::to_string(frmMemEdit::kRowCount);
  message += not_read == frmMemEdit::kRowCount
                 ? ", so none of the " + rows + " rows was read"
                 : ", so " + std::to_string(not_read) + " of the " + rows + " rows " +
                       (not_read == 1 ? "was" : "were") + " not read";
  return message + ": they show what they showed before.";
}

frmMemEdit::frmMemEdit(modKT90& kt90, Prompts& prompts, QWidget* parent)
    : QDialog(parent), kt90_(kt90), prompts_(prompts) {
  BuildControls();
  connect(cmdWriteMem, &QPushButton::clicked, this, &frmMemEdit::cmdWriteMem_Click);
  connect(cmdMemClear, &QPushButton::clicked, this, &frmMemEdit::cmdMemClear_Click);
  connect(cmdClose, &QPushButton::clicked, this, &frmMemEdit::hide);
  // Form_Load.
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  if (const std::optional<std::string> not_read = ReadRows(1)) {
    prompts_.ShowNotice(*not_read);
  }
}

std::optional<std::string> frmMemEdit::ReadRows(int times) {
  // Before the first status tick, or after another window's tick found no
  // engraver for a moment, the device path is empty: look before asking.
  const bool found = ui::LookForEngraver(kt90_);
  // A row that one pass missed and the next one read was read; one with a
  // cell that did not answer keeps what it showed.
  std::bitset<kRowCount> read;
  for (int pass = 0; pass < times; ++pass) {
    for (std::size_t i = 0; i < kRowCount; ++i) {
      // A row stops at its first cell that does not answer.
      const auto first = static_cast<std::uint8_t>(memory::kFixedBlockFirst + kRowLength * i);
      const auto last = static_cast<std::uint8_t>(first + kRowLength - 1);
      if (const std::optional<std::string> row = kt90_.FormatEEPromRow(first, last)) {
        lblAddr[i]->setText(QString::fromStdString(*row));
        read.set(i);
      }
    }
  }
  if (read.all()) {
    return std::nullopt;
  }
  return RowsNotReadMessage(kRowCount - static_cast<int>(read.count()), found,
                            kt90_.NoAnswerReason());
}

void frmMemEdit::SetControlsEnabled(bool enabled) {
  for (QWidget* button : {cmdMemClear, cmdWriteMem, cmdClose}) {
    button->setEnabled(enabled);
  }
  for (QLabel* row : lblAddr) {
    row->setEnabled(enabled);
  }
}

std::optional<std::uint8_t> frmMemEdit::AskByte(std::string_view prompt, std::string_view title,
                                                int limit) {
  const std::optional<std::string> entry =
      prompts_.AskText(std::string(prompt), std::string(title));
  if (!entry) {
    return std::nullopt;
  }
  const EditorEntryRead read = ReadEditorEntry(*entry, limit);
  if (read.verdict == EditorEntryVerdict::kOutOfRange) {
    prompts_.ShowNotice(kInvalidValue);
  }
  if (read.verdict != EditorEntryVerdict::kValid) {
    return std::nullopt;
  }
  return read.value;
}

void frmMemEdit::cmdWriteMem_Click() {
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  const std::optional<std::uint8_t> address =
      AskByte(kEnterAddress, kEnterAddressTitle, memory::kEditorAddressLimit);
  if (!address) {
    return;
  }
  const std::optional<std::uint8_t> value = AskByte(kEnterValue, "", memory::kEditorValueLimit);
  if (!value) {
    return;
  }
  if (!ui::LookForEngraver(kt90_) ||
      WriteCells(kt90_, std::array{CellValue{*address, *value}}, RunStop::kNever).reached == 0) {
    prompts_.ShowNotice(kWriteNotDelivered);
  }
  // The rows keep what they showed.
}

void frmMemEdit::cmdMemClear_Click() {
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  SetControlsEnabled(false);
  setCursor(Qt::WaitCursor);
  (void)ui::LookForEngraver(kt90_);
  const std::vector<CellValue> cells = ClearedBlock();
  const std::size_t delivered = WriteCells(kt90_, cells, RunStop::kNever).reached;
  const std::optional<std::string> not_read = ReadRows(2);
  SetControlsEnabled(true);
  unsetCursor();
  // One message for the whole Clear.
  std::string message;
  if (delivered != cells.size()) {
    message = NotDeliveredMessage(delivered, cells.size(), "cells", "Clear");
  }
  if (not_read) {
    message += (message.empty() ? "" : " ") + *not_read;
  }
  if (!message.empty()) {
    prompts_.ShowNotice(message);
  }
}

void frmMemEdit::ShowModal() {
  if (lifetime_.Unloading()) {
    return;
  }
  if (in_exec_) {
    // Hidden by Close while one of its handlers still waits on the controller:
    // that handler holds the running exec(), which cannot return before it
    // does. The window shows again at once, modal as before.
    shown_again_ = true;
    show();
    raise();
    activateWindow();
    return;
  }
  // The title-bar close may delete the window before exec() returns.
  const QPointer<frmMemEdit> alive(this);
  in_exec_ = true;
  do {
    shown_again_ = false;
    exec();
  } while (alive != nullptr && shown_again_ && isVisible() && !lifetime_.Unloading());
  if (alive != nullptr) {
    in_exec_ = false;
  }
}

void frmMemEdit::closeEvent(QCloseEvent* event) {
  // Not QDialog's own handling: the title-bar close unloads the window.
  event->accept();
  lifetime_.Unload([this] { emit Unloaded(); });
}

void frmMemEdit::keyPressEvent(QKeyEvent* event) {
  // The window has no cancel button: Escape does nothing.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace korimo
