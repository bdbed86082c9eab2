// Load, Read, Set, Done, the model presets and the entry fields of the
// configuration window.
#include "config/main_window.h"

#include <QAction>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <optional>

#include "config/memory_map.h"
#include "config/numeric.h"
#include "ui/lamp.h"
#include "ui/locked_combo.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"

namespace korimo {
namespace {

// The drop-down items of the six fields, in ParameterField order.
const std::array<QStringList, 6> kFieldItems{{
    {QStringLiteral("16000"), QStringLiteral("24000")},
    {QStringLiteral("12000")},
    {QStringLiteral("4250")},
    {QStringLiteral("50000")},
    {QStringLiteral("25000")},
    {QStringLiteral("8000")},
}};

QString Five(std::int64_t value) {
  return QString::fromStdString(FiveDigits(value));
}

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string SetNotDeliveredMessage(std::size_t delivered, std::size_t total) {
  const std::string again = " Set again once the engraver is connected.";
  if (delivered == 0) {
    return "None of the " + std::to_string(total) + " values reached the engraver." + again;
  }
  return "Only " + std::to_string(delivered) + " of the " + std::to_string(total) +
         " values reached the engraver, so its memory holds part of this configuration." + again;
}

std::string ReadNoAnswerMessage(std::string_view reason) {
  std::string because;
  if (!reason.empty()) {
    because = " (" + std::string(reason) + ")";
  }
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
  ConnectHandlers();
  Form_Load();
  tmrStatus->start();
}

s::~s() = default;

void s::ConnectHandlers() {
  connect(cmdRead, &QPushButton::clicked, this, [this] { cmdRead_Click(); });
  connect(cmdWrite, &QPushButton::clicked, this, [this] { cmdWrite_Click(); });
  connect(cmdDone, &QPushButton::clicked, this, [this] { cmdDone_Click(); });
  connect(CmdClearID, &QPushButton::clicked, this, [this] { CmdClearID_Click(); });
  connect(lstModel, &QListWidget::currentRowChanged, this, [this] { lstModel_Click(); });
  connect(tmrStatus, &ui::WindowTimer::timeout, this, [this] { tmrStatus_Timer(); });
  connect(mnuEEPromEdit, &QAction::triggered, this, [this] { mnuEEPromEdit_Click(); });
  connect(udSN, &ui::SpinControl::ValueChanged, this, [this] { udSN_Change(); });
  connect(txtSN, &ui::TextBox::LostFocus, this, [this] { txtSN_LostFocus(); });
  connect(txtSN, &ui::TextBox::textEdited, this, [this] { txtSN_Edited(); });
  txtSN->SetKeyPressHandler([this](int& key) { txtSN_KeyPress(key); });
  for (ParameterField field : kParameterFields) {
    if (field != ParameterField::kMaxX) {
      Field(field).SetKeyPressHandler([this](int& key) { cboDigits_KeyPress(key); });
    }
  }
}

ui::LockedCombo& s::Field(ParameterField field) const {
  return *fields_[static_cast<std::size_t>(field)];
}

void s::Form_Load() {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    ui::LockedCombo& field = *fields_[i];
    field.clear();
    field.addItems(kFieldItems[i]);
    field.SetText(QString());
    field.SetLocked(true);
  }

  // The list is built top down by inserting at the top; selecting the top
  // entry applies its presets.
  lstModel->clear();
  for (auto preset = kModelPresets.rbegin(); preset != kModelPresets.rend(); ++preset) {
    auto* item = new QListWidgetItem(Q(preset->name));
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
  // All eight values first, in their usual order; the window changes only
  // once every one of them answered.
  const std::optional<std::int32_t> serial = kt90_.GetSerialNumber();
  std::array<std::optional<std::int32_t>, kParameterFields.size()> values;
  values[static_cast<std::size_t>(ParameterField::kMaxX)] = kt90_.GetMaxX();
  values[static_cast<std::size_t>(ParameterField::kMaxY)] = kt90_.GetMaxY();
  values[static_cast<std::size_t>(ParameterField::kMaxZ)] = kt90_.GetMaxZ();
  values[static_cast<std::size_t>(ParameterField::kRasterSpeed)] = kt90_.GetRasterSpeed();
  values[static_cast<std::size_t>(ParameterField::kVectorSpeed)] = kt90_.GetVectorSpeed();
  values[static_cast<std::size_t>(ParameterField::kZSpeed)] = kt90_.GetZSpeed();
  const std::optional<std::uint8_t> model = kt90_.GetModelCode();
  if (!serial || !model ||
      std::any_of(values.begin(), values.end(), [](const auto& value) { return !value; })) {
    prompts_.ShowMessage(ReadNoAnswerMessage(kt90_.NoAnswerReason()), "", MessageButtons::kOk,
                         MessageAnswer::kOk);
    return;
  }

  txtSN->setText(Five(*serial));
  field_shows_start_ = false;
  for (ParameterField field : kParameterFields) {
    Field(field).SetText(Five(*values[static_cast<std::size_t>(field)]));
  }
  // Every entry is compared, the top one included.
  for (int i = 0; i < lstModel->count(); ++i) {
    if (lstModel->item(i)->data(Qt::UserRole).toInt() == *model) {
      lstModel->setCurrentRow(i);
      break;
    }
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

QString s::FrameCaptionOf(SetStep step) const {
  if (const auto field = FieldOfStep(step)) {
    return parameterFrames_[static_cast<std::size_t>(*field)]->title();
  }
  return fraSN->title();
}

void s::RewriteField(const SetPlan& plan, SetStep step) {
  if (step == SetStep::kSerialNumber) {
    txtSN->setText(QString::fromStdString(plan.rewritten.serial_number));
  } else if (const auto field = FieldOfStep(step)) {
    const auto index = static_cast<std::size_t>(*field);
    fields_[index]->SetText(QString::fromStdString(plan.rewritten.parameters[index]));
  }
}

void s::cmdWrite_Click() {
  if (set_running_) {
    return;
  }
  // The placeholder (no Read yet), an emptied field, or the spin control's
  // starting value put back over either, hold no serial number: storing 0
  // over the board's number would lose it.
  if (!SerialNumberGiven()) {
    prompts_.ShowMessage(std::string(kSerialNumberMissing), "", MessageButtons::kOk,
                         MessageAnswer::kOk);
    return;
  }
  // As leaving the field would: a typed number is clamped into 0..65535.
  CommitSerialNumber();

  SetFieldTexts texts;
  texts.serial_number = txtSN->text().toStdString();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    texts.parameters[i] = fields_[i]->Text().toStdString();
  }
  const SetPlan plan = PlanSet(texts, SelectedModelCode());
  if (plan.refused) {
    prompts_.ShowMessage("The value of \"" + FrameCaptionOf(*plan.refused).toStdString() +
                             "\" lies outside 0 to 65535. Nothing was stored.",
                         "", MessageButtons::kOk, MessageAnswer::kOk);
    return;
  }

  // No other command of the window may run between two writes of the Set.
  working_during_set_ = Working();
  set_running_ = true;
  cmdRead->setEnabled(false);
  cmdWrite->setEnabled(false);
  CmdClearID->setEnabled(false);

  std::size_t delivered = 0;
  for (std::size_t i = 0; i < plan.writes.size(); ++i) {
    const SetWrite& write = plan.writes[i];
    if (RewritesField(plan, i)) {
      RewriteField(plan, write.step);
    }
    if (kt90_.WriteEEPromByte(write.address, write.value)) {
      ++delivered;
    }
  }
  EndSet();
  if (delivered != plan.writes.size()) {
    prompts_.ShowMessage(SetNotDeliveredMessage(delivered, plan.writes.size()), "",
                         MessageButtons::kOk, MessageAnswer::kOk);
  }
}

void s::cmdDone_Click() {
  if (end_program_) {
    end_program_();
  }
}

void s::lstModel_Click() {
  const QListWidgetItem* item = lstModel->currentRow() >= 0 ? lstModel->currentItem() : nullptr;
  const QString text = item != nullptr ? item->text() : QString();
  const ModelPreset* preset = FindPreset(std::string_view(text.toStdString()));
  for (ParameterField field : kParameterFields) {
    ui::LockedCombo& combo = Field(field);
    if (preset != nullptr) {
      combo.setEnabled(false);
      combo.SetText(Q(preset->texts[static_cast<std::size_t>(field)]));
    } else {
      combo.setEnabled(true);
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
    prompts_.ShowMessage(std::string(kClearIdNotDelivered), "", MessageButtons::kOk,
                         MessageAnswer::kOk);
  }
}

void s::mnuEEPromEdit_Click() {
  emit EEPromEditRequested();
}

}  // namespace korimo
