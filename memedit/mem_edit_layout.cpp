// The controls of the memory editor and where they stand, in twips.
#include <QFont>
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

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  // Enter clicks the button that has the focus, not a default one.
  button->setAutoDefault(false);
  return button;
}

}  // namespace

void frmMemEdit::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("frmMemEdit"),
                       QStringLiteral("Korimo Parameter Memory"), Qt::Dialog);

  cmdMemClear = MakeButton(this, "cmdMemClear", "Clear");
  cmdWriteMem = MakeButton(this, "cmdWriteMem", "Write");
  cmdClose = MakeButton(this, "cmdClose", "Close");
  for (int i = 0; i < kRowCount; ++i) {
    auto* row = new QLabel(QString::fromLatin1(kRowDesignText), this);
    row->setObjectName(QStringLiteral("lblAddr"));
    row->setProperty("index", i);
    row->setTextFormat(Qt::PlainText);
    row->setFont(ui::FixedFont());
    lblAddr[static_cast<std::size_t>(i)] = row;
  }

  // Tab order: Write, Clear, the rows (which take no focus), Close.
  setTabOrder(cmdWriteMem, cmdMemClear);
  setTabOrder(cmdMemClear, cmdClose);
  PlaceControls();
}

void frmMemEdit::PlaceControls() {
  setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));
  PlaceTwips(*cmdMemClear, 5160, 240, 855, 375);
  PlaceTwips(*cmdWriteMem, 5160, 720, 855, 375);
  PlaceTwips(*cmdClose, 5160, 1800, 855, 375);
  for (int i = 0; i < kRowCount; ++i) {
    PlaceTwips(*lblAddr[static_cast<std::size_t>(i)], 120, 240 + 240 * i, 4725, 210);
  }
}

}  // namespace korimo
