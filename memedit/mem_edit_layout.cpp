// The controls of the memory editor and where they stand, in twips.
#include <QLabel>
#include <QPushButton>

#include "memedit/mem_edit_window.h"
#include "ui/fixed_window.h"
#include "ui/fonts.h"
#include "ui/twips.h"

namespace korimo {
namespace {

using ui::PlaceTwips;

constexpr int kClientWidth = 6210;  // twips
constexpr int kClientHeight = 2400;
constexpr char kRowDesignText[] = "0x00: 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00";

QPushButton* MakeButton(QWidget* parent, const QString& name, const char* caption) {
  auto* button = ui::MakeNamed<QPushButton>(parent, name, caption);
  // Enter clicks the button that has the focus, not a default one.
  button->setAutoDefault(false);
  return button;
}

}  // namespace

void frmMemEdit::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("frmMemEdit"),
                       QStringLiteral("Korimo Parameter Memory"), Qt::Dialog);
  setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));

  cmdMemClear = MakeButton(this, QStringLiteral("cmdMemClear"), "Clear");
  PlaceTwips(*cmdMemClear, 5160, 240, 855, 375);
  cmdWriteMem = MakeButton(this, QStringLiteral("cmdWriteMem"), "Write");
  PlaceTwips(*cmdWriteMem, 5160, 720, 855, 375);
  cmdClose = MakeButton(this, QStringLiteral("cmdClose"), "Close");
  PlaceTwips(*cmdClose, 5160, 1800, 855, 375);
  for (int i = 0; i < kRowCount; ++i) {
    QLabel* row = ui::MakeLabel(this, QStringLiteral("lblAddr"), kRowDesignText);
    row->setProperty("index", i);
    row->setFont(ui::FixedFont());
    PlaceTwips(*row, 120, 240 + 240 * i, 4725, 210);
    lblAddr[static_cast<std::size_t>(i)] = row;
  }

  // Tab order: Write, Clear, the rows (which take no focus), Close.
  setTabOrder(cmdWriteMem, cmdMemClear);
  setTabOrder(cmdMemClear, cmdClose);
}

}  // namespace korimo
