// A single-selection list box as the platform the tool comes from has it: a
// click selects an entry, and nothing the user does takes the selection away
// again. Qt's single-selection list lets Ctrl+click (or Ctrl+Space) on the
// selected entry, or a click below the entries, clear it while the current row
// stays, so that what looks selected and the entry the window works with would
// part; here those gestures do nothing.
#pragma once

#include <QListWidget>

namespace korimo::ui {

class ListBox : public QListWidget {
 public:
  explicit ListBox(QWidget* parent = nullptr) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
  }

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(
      const QModelIndex& index, const QEvent* event = nullptr) const override;
};

}  // namespace korimo::ui
