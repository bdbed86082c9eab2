// The configuration window `s`, the tool's main window "Korimo Configuration":
// it reads the machine configuration from the controller (Read), stores it
// into parameter memory (Set), applies the model presets, keeps the board's
// serial number, carries the hidden USB identity reset and memory editor menu,
// and supervises the connection four times a second.
//
// The window reaches the engraver only through the command set it is given,
// and asks the user only through the Prompts it is given.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/parameter_fields.h"
#include "config/service_texts.h"
#include "config/set_plan.h"
#include "device/modKT90.h"
#include "device/ports.h"
#include "mainwin/set_state.h"
#include "ui/end_program.h"
#include "ui/window_timer.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace korimo {

namespace ui {
class Lamp;
class ListBox;
class LockedCombo;
class SpinControl;
class TextBox;
}  // namespace ui

// Shown when Set finds no serial number to store.
inline constexpr std::string_view kSerialNumberMissing =
    "Enter the serial number, or Read it from the engraver, before Set.";
inline constexpr std::string_view kClearIdNotDelivered =
    "The USB identity reset did not reach the engraver. Clear ID again once the engraver is "
    "connected.";

// Shown when Read looked for the engraver and found none.
inline constexpr std::string_view kReadNotFound =
    "No engraver was found, so nothing was read and the window shows what it showed before. "
    "Read again once the engraver is connected.";

// Shown when a Read did not get all eight values (it then changes nothing);
// `reason` is why, where the platform said so.
std::string ReadNoAnswerMessage(std::string_view reason);

class s : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kStatusInterval = 250;  // ms

  // Builds the window and loads it (Form_Load); the status timer runs from here.
  s(modKT90& kt90, Prompts& prompts, QWidget* parent = nullptr,
    ui::TimerPort& timers = ui::QtTimers());

  // Done. The default ends the program at once.
  void SetEndProgram(ui::EndProgramHook end) { end_program_ = std::move(end); }

  // Event handlers.
  void cmdRead_Click();
  void cmdWrite_Click();
  void cmdDone_Click();
  void CmdClearID_Click();
  void lstModel_Click();
  void tmrStatus_Timer();
  void txtSN_KeyPress(int& KeyAscii);
  void udSN_Change();
  // The digit filter of cboMaxY, cboMaxZ, cboRaster, cboVector and cboZSpeed.
  void cboDigits_KeyPress(int& KeyAscii);

  void CommitSerialNumber();
  void ShowSerialNumberBytes();

  // True from the first to the last write of a Set.
  bool SetInProgress() const { return set_.Running(); }

  // Whether the serial field stands for a serial number that was read from the
  // engraver or entered, rather than the placeholder or the spin control's
  // starting value put back in its place.
  bool SerialNumberGiven() const;

 signals:
  // The menu "EEProm", item "Edit": opens the parameter memory editor.
  void EEPromEditRequested();
  // Supervision found that the reason an engraver present cannot be used has
  // changed (empty: there is none); the status row's tooltip shows it.
  void DeviceTroubleChanged(const QString& trouble);

 private:
  void BuildControls();
  void Form_Load();

  std::uint8_t SelectedModelCode() const;

  // Set, step by step.
  SetFieldTexts ShownTexts() const;
  std::string RefusedMessage(const SetEntry& entry) const;
  void StartSet();
  void RewriteField(const SetPlan& plan, const SetWrite& write);
  void EndSet();

  // Supervision.
  bool Working() const;
  void EngraverChanged(bool there);
  void SwitchControls(bool enabled);
  bool HeldBySet(const QWidget* control) const;

  modKT90& kt90_;
  Prompts& prompts_;
  ui::TimerPort& timers_;
  ui::EndProgramHook end_program_;

  SetState set_;
  // The controls a Set holds, and whether each was enabled when it started.
  struct HeldControl {
    QWidget* control;
    bool switched_by_supervision;
    bool was_enabled = false;
  };
  std::vector<HeldControl> held_;
  std::string shown_trouble_;        // the DeviceTrouble the status tooltip shows
  bool arrival_read_waits_ = false;  // for the message box that is up to close

  SerialNumberEntry serial_;  // whether txtSN holds a serial number Set may store

  // Controls, named as the window names them.
  QWidget* client_ = nullptr;
  QGroupBox* fraSN = nullptr;
  ui::TextBox* txtSN = nullptr;
  ui::SpinControl* udSN = nullptr;
  QLabel* lblSN_High = nullptr;
  QLabel* lblSN_Low = nullptr;
  ui::ListBox* lstModel = nullptr;
  // In kParameterFields order: the frames and the drop-down fields in them.
  std::array<QGroupBox*, kParameterFieldCount> parameterFrames_{};
  std::array<ui::LockedCombo*, kParameterFieldCount> fields_{};
  QPushButton* cmdWrite = nullptr;
  QPushButton* cmdRead = nullptr;
  QPushButton* CmdClearID = nullptr;
  QPushButton* cmdDone = nullptr;
  ui::Lamp* shpConnected = nullptr;
  QLabel* lblStatus = nullptr;
  ui::WindowTimer* tmrStatus = nullptr;
  QMenu* mnuEEProm = nullptr;
  QAction* mnuEEPromEdit = nullptr;
};

}  // namespace korimo
