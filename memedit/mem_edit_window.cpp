// Load, Write, Clear and Close of the memory editor.
#include "memedit/mem_edit_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <string>
#include <vector>

#include "config/memory_map.h"
#include "config/numeric.h"
#include "config/plan_runner.h"
#include "ui/engraver_lookup.h"

namespace korimo {
namespace {

std::uint8_t RowStart(int row) {
  return static_cast<std::uint8_t>(memory::kFixedBlockFirst + frmMemEdit::kRowLength * row);
}

}  // namespace

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
  ConnectHandlers();
  // Form_Load.
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  if (const std::optional<std::string> not_read = ReadRows(1)) {
    ShowMessage(*not_read);
  }
}

frmMemEdit::~frmMemEdit() = default;

void frmMemEdit::ConnectHandlers() {
  connect(cmdWriteMem, &QPushButton::clicked, this, [this] { cmdWriteMem_Click(); });
  connect(cmdMemClear, &QPushButton::clicked, this, [this] { cmdMemClear_Click(); });
  connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
}

std::bitset<frmMemEdit::kRowCount> frmMemEdit::RefreshRows() {
  std::bitset<kRowCount> read;
  for (int i = 0; i < kRowCount; ++i) {
    const std::uint8_t first = RowStart(i);
    const auto last = static_cast<std::uint8_t>(first + kRowLength - 1);
    if (const std::optional<std::string> row = kt90_.FormatEEPromRow(first, last)) {
      lblAddr[static_cast<std::size_t>(i)]->setText(QString::fromStdString(*row));
      read.set(static_cast<std::size_t>(i));
    }
  }
  return read;
}

std::optional<std::string> frmMemEdit::ReadRows(int times) {
  // Before the first status tick, or after another window's tick found no
  // engraver for a moment, the device path is empty: look before asking.
  const bool found = ui::LookForEngraver(kt90_);
  std::bitset<kRowCount> read;
  for (int i = 0; i < times; ++i) {
    // A row that one refresh missed and the next one read was read.
    read |= RefreshRows();
  }
  if (read.all()) {
    return std::nullopt;
  }
  return RowsNotReadMessage(kRowCount - static_cast<int>(read.count()), found,
                            kt90_.NoAnswerReason());
}

void frmMemEdit::ShowMessage(const std::string& text) {
  prompts_.ShowMessage(text, "", MessageButtons::kOk, MessageAnswer::kOk);
}

void frmMemEdit::DisableAllControls() {
  SetControlsEnabled(false);
}

void frmMemEdit::EnableAllControls() {
  SetControlsEnabled(true);
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
    prompts_.ShowMessage(std::string(kInvalidValue), "", MessageButtons::kOk, MessageAnswer::kOk);
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
    ShowMessage(std::string(kWriteNotDelivered));
  }
  // The rows keep what they showed.
}

void frmMemEdit::cmdMemClear_Click() {
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  DisableAllControls();
  setCursor(Qt::WaitCursor);
  (void)ui::LookForEngraver(kt90_);
  const std::vector<CellValue> cells = ClearedBlock();
  const std::size_t delivered = WriteCells(kt90_, cells, RunStop::kNever).reached;
  const std::optional<std::string> not_read = ReadRows(2);
  EnableAllControls();
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
    ShowMessage(message);
  }
}

void frmMemEdit::cmdClose_Click() {
  hide();
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
  if (lifetime_.Unloading()) {
    return;
  }
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
