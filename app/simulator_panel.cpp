#include "app/simulator_panel.h"

#include <QCheckBox>
#include <QFont>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "device/modKT90.h"

namespace korimo::app {
namespace {

QSpinBox* MillisecondBox(int value, const char* name) {
  auto* box = new QSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, 5000);
  box->setSuffix(QStringLiteral(" ms"));
  box->setValue(value);
  return box;
}

int Milliseconds(sim::Micros duration) {
  return static_cast<int>(duration.count() / 1000);
}

}  // namespace

QString MemoryHexView(const std::array<std::uint8_t, sim::kMemorySize>& memory) {
  QString text;
  for (std::size_t row = 0; row < memory.size(); row += 16) {
    if (row != 0) {
      text += QLatin1Char('\n');
    }
    text += QString::fromStdString(HexByte(static_cast<std::uint8_t>(row))) + QLatin1Char(':');
    for (std::size_t i = row; i < row + 16; ++i) {
      text += QLatin1Char(' ') + QString::fromStdString(HexByte(memory[i]));
    }
  }
  return text;
}

SimulatorPanel::SimulatorPanel(sim::SimPlatform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform) {
  setObjectName(QStringLiteral("simulatorPanel"));
  setWindowTitle(QStringLiteral("Engraver simulator"));

  auto* left = new QVBoxLayout;
  left->addWidget(BuildConnection());
  left->addWidget(BuildInputs());
  left->addWidget(BuildController());
  left->addWidget(BuildWindows());
  left->addStretch();
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildMemory());
  right->addStretch();
  columns->addLayout(right, 1);

  refresh_ = new QTimer(this);
  refresh_->setObjectName(QStringLiteral("refresh"));
  refresh_->setInterval(kRefreshInterval);
  connect(refresh_, &QTimer::timeout, this, &SimulatorPanel::Refresh);
  refresh_->start();
  Refresh();
}

QWidget* SimulatorPanel::BuildConnection() {
  auto* box = new QGroupBox(QStringLiteral("USB"));
  plugged_ = new QCheckBox(QStringLiteral("Engraver plugged in"));
  plugged_->setObjectName(QStringLiteral("plugged"));
  plugged_->setChecked(platform_.Plugged());
  connect(plugged_, &QCheckBox::toggled, this, [this](bool on) {
    on ? platform_.Plug() : platform_.Unplug();
    Refresh();
  });
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(plugged_);
  return box;
}

QWidget* SimulatorPanel::BuildInputs() {
  auto* box = new QGroupBox(QStringLiteral("Keypad and table sensors (held while checked)"));
  auto* layout = new QHBoxLayout(box);
  auto* keys = new QVBoxLayout;
  auto* sensors = new QVBoxLayout;
  auto add = [this](QVBoxLayout* column, const inputs::NamedInput& input) {
    const QString name =
        QString::fromLatin1(input.name.data(), static_cast<qsizetype>(input.name.size()));
    auto* check = new QCheckBox(name);
    check->setObjectName(QStringLiteral("input_") + name);
    check->setChecked((platform_.GetBoard().Inputs() & input.bit) != 0);
    const std::uint8_t bit = input.bit;
    connect(check, &QCheckBox::toggled, this, [this, bit](bool on) { SetInput(bit, on); });
    column->addWidget(check);
  };
  for (std::size_t i = 0; i < inputs::kNamed.size(); ++i) {
    add(i < inputs::kKeyCount ? keys : sensors, inputs::kNamed[i]);
  }
  sensors->addStretch();
  layout->addLayout(keys);
  layout->addLayout(sensors);
  return box;
}

QWidget* SimulatorPanel::BuildController() {
  auto* box = new QGroupBox(QStringLiteral("Controller"));
  sim::BoardTimings& timings = platform_.GetBoard().Timings();
  write_busy_ = MillisecondBox(Milliseconds(timings.memory_write), "writeBusy");
  read_busy_ = MillisecondBox(Milliseconds(timings.memory_read), "readBusy");
  latency_ = MillisecondBox(0, "latency");
  connect(write_busy_, &QSpinBox::valueChanged, this, [this](int ms) {
    platform_.GetBoard().Timings().memory_write = sim::Micros{std::int64_t{ms} * 1000};
  });
  connect(read_busy_, &QSpinBox::valueChanged, this, [this](int ms) {
    platform_.GetBoard().Timings().memory_read = sim::Micros{std::int64_t{ms} * 1000};
  });
  connect(latency_, &QSpinBox::valueChanged, this,
          [this](int ms) { platform_.GetFiles().Latency(sim::Micros{std::int64_t{ms} * 1000}); });
  stuck_busy_ = new QCheckBox(QStringLiteral("Stuck busy (jammed controller)"));
  stuck_busy_->setObjectName(QStringLiteral("stuckBusy"));
  connect(stuck_busy_, &QCheckBox::toggled, this, [this](bool on) {
    platform_.GetBoard().SetStuckBusy(on);
    Refresh();
  });
  board_state_ = new QLabel;
  board_state_->setObjectName(QStringLiteral("boardState"));
  board_state_->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Busy after a memory write:"), write_busy_);
  form->addRow(QStringLiteral("Busy after a memory read:"), read_busy_);
  form->addRow(QStringLiteral("Latency per transfer:"), latency_);
  auto* layout = new QVBoxLayout(box);
  layout->addLayout(form);
  layout->addWidget(stuck_busy_);
  layout->addWidget(board_state_);
  return box;
}

QWidget* SimulatorPanel::BuildMemory() {
  auto* box = new QGroupBox(QStringLiteral("Parameter memory (256 cells, live)"));
  memory_view_ = new QPlainTextEdit;
  memory_view_->setObjectName(QStringLiteral("memoryView"));
  memory_view_->setReadOnly(true);
  memory_view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont mono(QStringLiteral("Courier New"));
  mono.setStyleHint(QFont::TypeWriter);
  mono.setPointSizeF(8.25);
  memory_view_->setFont(mono);
  const int row_width = QFontMetrics(mono).horizontalAdvance(QString(86, QLatin1Char('0')));
  memory_view_->setMinimumSize(row_width + 24, QFontMetrics(mono).lineSpacing() * 16 + 16);
  memory_view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(memory_view_);
  return box;
}

QWidget* SimulatorPanel::BuildWindows() {
  auto* box = new QGroupBox(QStringLiteral("Windows"));
  auto* layout = new QVBoxLayout(box);
  const std::array<std::pair<const char*, const char*>, 3> designs{{
      {"openJog", "Jog and home..."},
      {"openInputs", "I/O verification..."},
      {"openMemoryEditor", "Parameter memory editor..."},
  }};
  for (std::size_t i = 0; i < designs.size(); ++i) {
    auto* button = new QPushButton(QString::fromLatin1(designs[i].second));
    button->setObjectName(QString::fromLatin1(designs[i].first));
    button->setEnabled(false);
    button->setToolTip(QStringLiteral("This window is not part of this build yet."));
    connect(button, &QPushButton::clicked, this, [this, i] {
      if (openers_[i]) {
        openers_[i]();
      }
    });
    window_buttons_[i] = button;
    layout->addWidget(button);
  }
  return box;
}

void SimulatorPanel::OfferWindow(DemoWindow window, std::function<void()> open) {
  const auto index = static_cast<std::size_t>(window);
  openers_[index] = std::move(open);
  window_buttons_[index]->setEnabled(static_cast<bool>(openers_[index]));
  window_buttons_[index]->setToolTip(QString());
}

void SimulatorPanel::SetInput(std::uint8_t bit, bool on) {
  sim::Board& board = platform_.GetBoard();
  const auto bits = static_cast<std::uint8_t>(on ? board.Inputs() | bit : board.Inputs() & ~bit);
  board.SetInputs(bits);
}

void SimulatorPanel::Refresh() {
  if (plugged_->isChecked() != platform_.Plugged()) {
    const QSignalBlocker quiet(plugged_);
    plugged_->setChecked(platform_.Plugged());
  }
  const sim::Board& board = platform_.GetBoard();
  if (!memory_shown_ || board.Memory() != shown_memory_) {
    shown_memory_ = board.Memory();
    memory_shown_ = true;
    const int scroll = memory_view_->verticalScrollBar()->value();
    memory_view_->setPlainText(MemoryHexView(shown_memory_));
    memory_view_->verticalScrollBar()->setValue(scroll);
  }
  const sim::CommandCounts& counts = board.Counts();
  const QString state =
      QStringLiteral("%1, %2. Memory writes %3, reads %4, homes %5, moves %6.")
          .arg(platform_.Plugged() ? QStringLiteral("Plugged in") : QStringLiteral("Unplugged"),
               board.IsBusy() ? QStringLiteral("busy") : QStringLiteral("idle"))
          .arg(counts.memory_writes)
          .arg(counts.memory_reads)
          .arg(counts.homes)
          .arg(counts.moves);
  if (state != shown_state_) {
    shown_state_ = state;
    board_state_->setText(state);
  }
}

}  // namespace korimo::app
