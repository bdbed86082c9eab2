// Load, Write, Clear and Close of the memory editor.
#include "memedit/mem_edit_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <string>
#include <vector>

#include "config/memory_map.h"
#include "config/numeric.h"
#include "config/plan_runner.h"

namespace korimo {
namespace {

std::uint8_t RowStart(int row) {
  return static_cast<std::uint8_t>(memory::kFixedBlockFirst + frmMemEdit::kRowLength * row);
}

}  // namespace

frmMemEdit::frmMemEdit(modKT90& kt90, Prompts& prompts, QWidget* parent)
    : QDialog(parent), kt90_(kt90), prompts_(prompts) {
  BuildControls();
  ConnectHandlers();
  // Form_Load.
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  RefreshMemoryRows();
}

frmMemEdit::~frmMemEdit() = default;

void frmMemEdit::ConnectHandlers() {
  connect(cmdWriteMem, &QPushButton::clicked, this, [this] { cmdWriteMem_Click(); });
  connect(cmdMemClear, &QPushButton::clicked, this, [this] { cmdMemClear_Click(); });
  connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
}

void frmMemEdit::RefreshMemoryRows() {
  for (int i = 0; i < kRowCount; ++i) {
    const std::uint8_t first = RowStart(i);
    const auto last = static_cast<std::uint8_t>(first + kRowLength - 1);
    // A row with a cell that did not answer keeps what it showed.
    if (const std::optional<std::string> row = kt90_.FormatEEPromRow(first, last)) {
      lblAddr[static_cast<std::size_t>(i)]->setText(QString::fromStdString(*row));
    }
  }
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
  if (WriteCells(kt90_, std::array{CellValue{*address, *value}}, RunStop::kNever).reached == 0) {
    prompts_.ShowMessage(std::string(kWriteNotDelivered), "", MessageButtons::kOk,
                         MessageAnswer::kOk);
  }
  // The rows keep what they showed.
}

void frmMemEdit::cmdMemClear_Click() {
  const ui::UnloadAfterHandlers::Running running(lifetime_);
  DisableAllControls();
  setCursor(Qt::WaitCursor);
  const std::vector<CellValue> cells = ClearedBlock();
  const std::size_t delivered = WriteCells(kt90_, cells, RunStop::kNever).reached;
  RefreshMemoryRows();
  RefreshMemoryRows();
  EnableAllControls();
  unsetCursor();
  if (delivered != cells.size()) {
    prompts_.ShowMessage(NotDeliveredMessage(delivered, cells.size(), "cells", "Clear"), "",
                         MessageButtons::kOk, MessageAnswer::kOk);
  }
}

void frmMemEdit::cmdClose_Click() {
  hide();
}

void frmMemEdit::ShowModal() {
  if (lifetime_.Unloading()) {
    return;
  }
  exec();
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
