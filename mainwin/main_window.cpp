// Load, Read, Set, Done, the model presets, the entry fields and the serial
// number of the configuration window.
#include "mainwin/main_window.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>
#include <optional>

#include "config/memory_map.h"
#include "config/numeric.h"
#include "config/plan_runner.h"
#include "mainwin/field_controls.h"
#include "ui/engraver_lookup.h"
#include "ui/list_box.h"
#include "ui/locked_combo.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"

namespace korimo {
namespace {

QString Five(std::int64_t value) {
  return QString::fromStdString(FiveDigits(value));
}

}  // namespace

std::string ReadNoAnswerMessage(std::string_view reason) {
  const std::string because = reason.empty() ? "" : " (" + std::string(reason) + ")";
  return "The engraver did not answer" + because +
         ", so nothing was read and the window shows what it showed before. Read again once the "
         "engraver is connected.";
}

s::s(modKT90& kt90, Prompts& prompts, QWidget* parent, ui::TimerPort& timers)
    : QMainWindow(parent),
      kt90_(kt90),
      prompts_(prompts),
      timers_(timers),
      end_program_(&ui::EndProgram) {
  BuildControls();
  connect(cmdRead, &QPushButton::clicked, this, &s::cmdRead_Click);
  connect(cmdWrite, &QPushButton::clicked, this, &s::cmdWrite_Click);
  connect(cmdDone, &QPushButton::clicked, this, &s::cmdDone_Click);
  connect(CmdClearID, &QPushButton::clicked, this, &s::CmdClearID_Click);
  connect(lstModel, &QListWidget::currentRowChanged, this, &s::lstModel_Click);
  connect(tmrStatus, &ui::WindowTimer::timeout, this, &s::tmrStatus_Timer);
  connect(mnuEEPromEdit, &QAction::triggered, this, &s::EEPromEditRequested);
  connect(udSN, &ui::SpinControl::ValueChanged, this, &s::udSN_Change);
  connect(txtSN, &ui::TextBox::LostFocus, this, &s::CommitSerialNumber);
  connect(txtSN, &ui::TextBox::textEdited, this, [this] { serial_.Edited(); });
  txtSN->SetKeyPressHandler([this](int& key) { txtSN_KeyPress(key); });
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    if (kFieldControls[i].digits_only) {
      fields_[i]->SetKeyPressHandler([this](int& key) { cboDigits_KeyPress(key); });
    }
  }
  Form_Load();
  tmrStatus->start();
}

void s::Form_Load() {
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    ui::LockedCombo& field = *fields_[i];
    field.clear();
    for (std::string_view item : kFieldControls[i].items) {
      if (!item.empty()) {
        field.addItem(QString::fromUtf8(item));
      }
    }
    field.SetText(QString());
    field.SetLocked(true);
  }

  // The list is built top down by inserting at the top; selecting the top
  // entry applies its presets.
  lstModel->clear();
  for (auto preset = kModelPresets.rbegin(); preset != kModelPresets.rend(); ++preset) {
    auto* item = new QListWidgetItem(QString::fromUtf8(preset->name));
    item->setData(Qt::UserRole, preset->code);
    lstModel->insertItem(0, item);
  }
  lstModel->setCurrentRow(0);

  CmdClearID->setVisible(false);
  mnuEEProm->menuAction()->setVisible(false);
  // With its only menu hidden the window shows no menu bar at all.
  menuBar()->setVisible(false);
}

void s::cmdRead_Click() {
  // Read asks the engraver only once there is one to ask: where another window's
  // tick has just found none, it looks again rather than report a silence.
  arrival_read_waits_ = false;
  if (!ui::LookForEngraver(kt90_)) {
    prompts_.ShowNotice(kReadNotFound);
    return;
  }
  // Every value first, in its usual order; the window changes only once every
  // one of them answered.
  const std::optional<Configuration> read = ReadConfiguration(kt90_, RunStop::kNever).configuration;
  if (!read) {
    prompts_.ShowNotice(ReadNoAnswerMessage(kt90_.NoAnswerReason()));
    return;
  }

  txtSN->setText(Five(read->serial_number));
  serial_.Read();
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    fields_[i]->SetText(Five(read->parameters[i]));
  }
  // The list holds the presets in their order, the top one included.
  if (const ModelPreset* preset = FindPreset(read->model_code)) {
    lstModel->setCurrentRow(static_cast<int>(PresetIndex(*preset)));
  }
  CommitSerialNumber();
}

std::uint8_t s::SelectedModelCode() const {
  const QListWidgetItem* item = lstModel->currentItem();
  if (item == nullptr || lstModel->currentRow() < 0) {
    return memory::kNoModel;
  }
  return static_cast<std::uint8_t>(item->data(Qt::UserRole).toUInt());
}

void s::cmdWrite_Click() {
  if (set_.Running()) {
    return;
  }
  // The placeholder (no Read yet), an emptied field, or the spin control's
  // starting value put back over either, hold no serial number: storing 0
  // over the board's number would lose it.
  if (!SerialNumberGiven()) {
    prompts_.ShowNotice(kSerialNumberMissing);
    return;
  }
  // As leaving the field would: a typed number is clamped into 0..65535.
  CommitSerialNumber();
  const SetPlan plan = PlanSet(ShownTexts(), SelectedModelCode());
  if (plan.refused) {
    prompts_.ShowNotice(RefusedMessage(*plan.refused));
    return;
  }
  StartSet();
  const std::size_t delivered =
      WriteCells(kt90_, PlanCells(plan), RunStop::kNever, [&](std::size_t i) {
        if (RewritesField(plan, i)) {
          RewriteField(plan, plan.writes[i]);
        }
      }).reached;
  EndSet();
  if (delivered != plan.writes.size()) {
    prompts_.ShowNotice(NotDeliveredMessage(delivered, plan.writes.size(), "values", "Set"));
  }
}

SetFieldTexts s::ShownTexts() const {
  SetFieldTexts texts;
  texts.serial_number = txtSN->text().toStdString();
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    texts.parameters[i] = fields_[i]->Text().toStdString();
  }
  return texts;
}

std::string s::RefusedMessage(const SetEntry& entry) const {
  const QGroupBox* frame =
      entry.step == SetStep::kParameter ? parameterFrames_[entry.field] : fraSN;
  return "The value of \"" + frame->title().toStdString() +
         "\" lies outside 0 to 65535. Nothing was stored.";
}

// Nothing the Set has read may change while it waits on the controller.
void s::StartSet() {
  set_.Start(Working());
  for (HeldControl& held : held_) {
    // The control's own state: a control in a disabled frame keeps its own.
    held.was_enabled = !held.control->testAttribute(Qt::WA_ForceDisabled);
    held.control->setEnabled(false);
  }
}

void s::RewriteField(const SetPlan& plan, const SetWrite& write) {
  if (write.step == SetStep::kSerialNumber) {
    txtSN->setText(QString::fromStdString(plan.rewritten.serial_number));
  } else if (write.step == SetStep::kParameter) {
    fields_[write.field]->SetText(QString::fromStdString(plan.rewritten.parameters[write.field]));
  }
}

// The held controls are given back as they were, or, where supervision switched
// the window meanwhile, as supervision left it; an arrival's Read runs last.
void s::EndSet() {
  const SetState::Ending ending = set_.Finish();
  for (const HeldControl& held : held_) {
    const bool switched = ending.switched && held.switched_by_supervision;
    held.control->setEnabled(switched ? ending.working : held.was_enabled);
  }
  if (ending.read) {
    cmdRead_Click();
  }
}

void s::cmdDone_Click() {
  if (end_program_) {
    end_program_();
  }
}

void s::lstModel_Click() {
  // Each entry carries its preset's code.
  const ModelPreset* preset = FindPreset(SelectedModelCode());
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    fields_[i]->setEnabled(preset == nullptr);
    if (preset != nullptr) {
      fields_[i]->SetText(QString::fromUtf8(PresetText(*preset, i)));
    }
  }
}

void s::cboDigits_KeyPress(int& KeyAscii) {
  if (!IsDigitKey(static_cast<char32_t>(KeyAscii))) {
    KeyAscii = 0;
  }
}

void s::CmdClearID_Click() {
  const MessageAnswer answer =
      prompts_.ShowMessage(std::string(kClearIdQuestion), std::string(kClearIdTitle),
                           MessageButtons::kYesNo, MessageAnswer::kYes);
  if (answer == MessageAnswer::kYes && !kt90_.WriteEEPromByte(memory::kUsbIdentity, 0x00)) {
    prompts_.ShowNotice(kClearIdNotDelivered);
  }
}

// The board serial number: the field txtSN, the spin control udSN that holds
// the value, and the two byte labels that follow it.

void s::txtSN_KeyPress(int& KeyAscii) {
  if (KeyAscii == 13) {
    CommitSerialNumber();
  }
  cboDigits_KeyPress(KeyAscii);  // the same digit filter
}

void s::CommitSerialNumber() {
  const std::string text = txtSN->text().toStdString();
  if (IsNumber(text)) {
    udSN->SetValue(std::clamp(RoundHalfEven(NumericValue(text)), 0, kWordMax));
  }
  serial_.Committed(IsNumber(text));
  // A number that udSN already held, and text that is no number, both leave
  // the field showing the spin value in five digits.
  const QString shown = Five(udSN->Value());
  if (txtSN->text() != shown) {
    txtSN->setText(shown);
  }
  ShowSerialNumberBytes();
}

bool s::SerialNumberGiven() const {
  return serial_.Given(IsNumber(txtSN->text().toStdString()));
}

void s::udSN_Change() {
  // The value changed: the user stepped it or a number was committed.
  serial_.SpinChanged();
  txtSN->setText(Five(udSN->Value()));
  ShowSerialNumberBytes();
}

void s::ShowSerialNumberBytes() {
  const int value = udSN->Value();
  lblSN_High->setText(QString::fromStdString(HexByte(static_cast<std::uint8_t>(value / 256))));
  lblSN_Low->setText(QString::fromStdString(HexByte(static_cast<std::uint8_t>(value % 256))));
}

}  // namespace korimo
