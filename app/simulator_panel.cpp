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
#include <functional>
#include <span>

#include "app/service_windows.h"
#include "device/modKT90.h"
#include "ui/fonts.h"

namespace korimo::app {
namespace {

// A spin box of milliseconds named `name`, showing `value`, that hands each
// new value to `apply`.
QSpinBox* MillisecondBox(sim::Micros value, const char* name,
                         std::function<void(sim::Micros)> apply) {
  auto* box = new QSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, 5000);
  box->setSuffix(QStringLiteral(" ms"));
  box->setValue(static_cast<int>(value.count() / 1000));
  QObject::connect(box, &QSpinBox::valueChanged, box, [apply = std::move(apply)](int ms) {
    apply(sim::Micros{std::int64_t{ms} * 1000});
  });
  return box;
}

// The 256 cells as 16 rows of 16 bytes, "0x00: 0xFF 0xFF ...".
QString MemoryHexView(const std::array<std::uint8_t, sim::kMemorySize>& memory) {
  QStringList rows;
  for (std::size_t row = 0; row < memory.size(); row += 16) {
    rows << QString::fromStdString(
        FormatMemoryRow(static_cast<std::uint8_t>(row), std::span(memory).subspan(row, 16)));
  }
  return rows.join(QLatin1Char('\n'));
}

}  // namespace

SimulatorPanel::SimulatorPanel(sim::SimPlatform& platform, ServiceWindows& service, QWidget* parent)
    : QWidget(parent), platform_(platform) {
  setObjectName(QStringLiteral("simulatorPanel"));
  setWindowTitle(QStringLiteral("Engraver simulator"));

  auto* left = new QVBoxLayout;
  left->addWidget(BuildConnection());
  left->addWidget(BuildInputs());
  left->addWidget(BuildController());
  left->addWidget(BuildWindows(service));
  left->addStretch();
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildMemory());
  right->addStretch();
  columns->addLayout(right, 1);

  auto* refresh = new QTimer(this);
  refresh->setObjectName(QStringLiteral("refresh"));
  connect(refresh, &QTimer::timeout, this, &SimulatorPanel::Refresh);
  refresh->start(kRefreshInterval);
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
  for (std::size_t i = 0; i < inputs::kNamed.size(); ++i) {
    const inputs::NamedInput& input = inputs::kNamed[i];
    const QString name = QString::fromLatin1(input.name);
    auto* check = new QCheckBox(name);
    check->setObjectName(QStringLiteral("input_") + name);
    check->setChecked((platform_.GetBoard().Inputs() & input.bit) != 0);
    connect(check, &QCheckBox::toggled, this, [this, bit = input.bit](bool on) {
      sim::Board& board = platform_.GetBoard();
      board.SetInputs(static_cast<std::uint8_t>(on ? board.Inputs() | bit : board.Inputs() & ~bit));
    });
    (i < inputs::kKeyCount ? keys : sensors)->addWidget(check);
  }
  sensors->addStretch();
  layout->addLayout(keys);
  layout->addLayout(sensors);
  return box;
}

QWidget* SimulatorPanel::BuildController() {
  auto* box = new QGroupBox(QStringLiteral("Controller"));
  const sim::BoardTimings& timings = platform_.GetBoard().Timings();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Busy after a memory write:"),
               MillisecondBox(timings.memory_write, "writeBusy", [this](sim::Micros busy) {
                 platform_.GetBoard().Timings().memory_write = busy;
               }));
  form->addRow(QStringLiteral("Busy after a memory read:"),
               MillisecondBox(timings.memory_read, "readBusy", [this](sim::Micros busy) {
                 platform_.GetBoard().Timings().memory_read = busy;
               }));
  form->addRow(QStringLiteral("Latency per transfer:"),
               MillisecondBox(sim::Micros{0}, "latency", [this](sim::Micros latency) {
                 platform_.GetFiles().Latency(latency);
               }));
  auto* stuck_busy = new QCheckBox(QStringLiteral("Stuck busy (jammed controller)"));
  stuck_busy->setObjectName(QStringLiteral("stuckBusy"));
  connect(stuck_busy, &QCheckBox::toggled, this, [this](bool on) {
    platform_.GetBoard().SetStuckBusy(on);
    Refresh();
  });
  board_state_ = new QLabel;
  board_state_->setObjectName(QStringLiteral("boardState"));
  board_state_->setWordWrap(true);

  auto* layout = new QVBoxLayout(box);
  layout->addLayout(form);
  layout->addWidget(stuck_busy);
  layout->addWidget(board_state_);
  return box;
}

QWidget* SimulatorPanel::BuildMemory() {
  auto* box = new QGroupBox(QStringLiteral("Parameter memory (256 cells, live)"));
  memory_view_ = new QPlainTextEdit;
  memory_view_->setObjectName(QStringLiteral("memoryView"));
  memory_view_->setReadOnly(true);
  memory_view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  const QFont mono = ui::FixedFont();
  memory_view_->setFont(mono);
  const int row_width = QFontMetrics(mono).horizontalAdvance(QString(86, QLatin1Char('0')));
  memory_view_->setMinimumSize(row_width + 24, QFontMetrics(mono).lineSpacing() * 16 + 16);
  memory_view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(memory_view_);
  return box;
}

QWidget* SimulatorPanel::BuildWindows(ServiceWindows& service) {
  auto* box = new QGroupBox(QStringLiteral("Windows"));
  auto* layout = new QVBoxLayout(box);
  const auto add = [this, layout](const char* name, const char* text, auto open) {
    auto* button = new QPushButton(QString::fromLatin1(text));
    button->setObjectName(QString::fromLatin1(name));
    connect(button, &QPushButton::clicked, this, open);
    layout->addWidget(button);
  };
  add("openJog", "Jog and home...", [&service] { service.jog.Open(); });
  add("openInputs", "I/O verification...", [&service] { service.io.Open(); });
  add("openMemoryEditor", "Parameter memory editor...", [&service] { service.editor.Open(); });
  return box;
}

void SimulatorPanel::Refresh() {
  if (plugged_->isChecked() != platform_.Plugged()) {
    const QSignalBlocker quiet(plugged_);
    plugged_->setChecked(platform_.Plugged());
  }
  const sim::Board& board = platform_.GetBoard();
  if (shown_memory_ != board.Memory()) {
    shown_memory_ = board.Memory();
    const int scroll = memory_view_->verticalScrollBar()->value();
    memory_view_->setPlainText(MemoryHexView(*shown_memory_));
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
