// The jog and home window frmMove ("Home"): twelve jog buttons, each naming a
// movement file in the program's folder that is walked again and again while
// the button is held; a "Home" button for the X and Y axes; and three readouts
// that follow the controller's positions every 10 ms.
//
// Its timer keeps running while the window is hidden ("&Done"); the title-bar
// close unloads the window: the timer stops and the object deletes itself once
// none of its ticks is running any more (Unloaded tells the owner at once).
#pragma once

#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>

#include "device/modKT90.h"
#include "device/ports.h"
#include "ui/window_lifetime.h"
#include "ui/window_timer.h"

class QLabel;
class QLocale;
class QPushButton;

namespace korimo {

namespace jog {
class JogButton;
}

inline constexpr std::string_view kHomeMarks = "----";
inline constexpr std::string_view kReadoutDesignText = "##.###";

// A position word shown as value / 1000 in the form "00.000", with the decimal
// separator of `locale`: 12345 gives 12.345, 5 gives 00.005.
QString PositionText(std::int32_t value, const QLocale& locale);

class frmMove : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kMoveInterval = 10;  // ms

  // Builds and loads the window; tmrMove runs from here.
  frmMove(modKT90& kt90, Prompts& prompts, QWidget* parent = nullptr,
          ui::TimerPort& timers = ui::QtTimers());

  // The folder of the movement files: the program's folder unless set.
  const QString& ProgramFolder() const { return program_folder_; }
  void SetProgramFolder(const QString& folder) { program_folder_ = folder; }
  // The movement file of the button with `index`: folder, tag, ".mov".
  QString MoveFilePath(int index) const;

  // The index of the jog button held down; 0 when none is.
  std::int16_t HeldJogIndex() const { return HeldJogIndex_; }
  // True while a movement file is being walked.
  bool Walking() const { return walking_; }

  // Event handlers.
  void picMove_MouseDown(int Index, Qt::MouseButton Button = Qt::LeftButton,
                         Qt::KeyboardModifiers Shift = {}, QPointF where = {});
  void picMove_MouseUp(int Index, Qt::MouseButton Button = Qt::LeftButton,
                       Qt::KeyboardModifiers Shift = {}, QPointF where = {});
  void tmrMove_Timer();
  void cmdHomeXY_Click();
  void cmdDone_Click() { hide(); }

 signals:
  // The title-bar close unloaded the window.
  void Unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void WalkHeldFile();

  modKT90& kt90_;
  Prompts& prompts_;
  ui::TimerPort& timers_;
  QString program_folder_;
  std::int16_t HeldJogIndex_ = 0;
  bool walking_ = false;
  // The ticks on the stack, so that an unload waits until the last one has returned.
  ui::UnloadAfterHandlers lifetime_{*this};

  // Controls, named as the window names them.
  std::array<jog::JogButton*, 12> picMove{};
  QPushButton* cmdHomeXY = nullptr;
  QLabel* lblPositionX = nullptr;
  QLabel* lblPositionY = nullptr;
  QLabel* lblPositionZ = nullptr;
  QPushButton* cmdDone = nullptr;
  ui::WindowTimer* tmrMove = nullptr;
  // Ticks while a walk waits for the controller ("walkTicks"): a timer does not
  // interrupt its own tick, so tmrMove alone would leave the readouts still meanwhile.
  ui::WindowTimer* walkTicks_ = nullptr;
};

}  // namespace korimo
