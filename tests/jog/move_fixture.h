// The jog window on the simulated engraver, with a folder of its own for the
// movement files. Its timers are manual ones, so ticks are called directly.
#pragma once

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <memory>

#include "jog/jog_button.h"
#include "jog/move_window.h"
#include "sim/board.h"
#include "tests/support/engraver_fixture.h"

namespace korimo::test {

// Move records of the simulated board, one after another.
inline std::vector<std::uint8_t> MoveRecords(
    std::initializer_list<std::array<std::int16_t, 3>> moves) {
  std::vector<std::uint8_t> bytes;
  for (const auto& [dx, dy, dz] : moves) {
    const auto packet = sim::Board::MovePacket(dx, dy, dz);
    bytes.insert(bytes.end(), packet.begin(), packet.end());
  }
  return bytes;
}

class MoveWindowTest : public EngraverTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    window_ = std::make_unique<frmMove>(kt90_, prompts_, nullptr, timers_);
    window_->SetProgramFolder(folder_.path());
    Files().ClearLog();
    Board().ResetCounts();
  }

  void WriteMoveFile(const char* tag, const std::vector<std::uint8_t>& bytes) {
    QFile file(folder_.filePath(QString::fromLatin1(tag) + ".mov"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }

  jog::JogButton& Jog(int index) {
    for (jog::JogButton* button : window_->findChildren<jog::JogButton*>("picMove")) {
      if (button->Index() == index) {
        return *button;
      }
    }
    ADD_FAILURE() << "no jog button " << index;
    throw std::runtime_error("no jog button");
  }

  QLabel& Readout(const char* name) { return Find<QLabel>(*window_, name); }

  void Tick() { window_->tmrMove_Timer(); }

  // Every move the board took: the simulator's move packets on the wire.
  std::vector<std::vector<std::uint8_t>> Moves() {
    std::vector<std::vector<std::uint8_t>> moves;
    for (const std::vector<std::uint8_t>& packet : Written()) {
      if (packet.size() == sim::kMovePacketSize) {
        moves.push_back(packet);
      }
    }
    return moves;
  }

  // Lets the board's clock run at every yield of a wait.
  void ClockRunsWhileWaiting(sim::Micros step = sim::Micros{100}) {
    pump_.action = [this, step](int) { clock_.Advance(step); };
  }

  QTemporaryDir folder_;
  std::unique_ptr<frmMove> window_;
};

}  // namespace korimo::test
