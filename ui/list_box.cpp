#include "ui/list_box.h"

namespace korimo::ui {

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index,
                                                              const QEvent* event) const {
  const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
  // Ctrl+click or Ctrl+Space on the selected entry deselects it; a click below
  // the entries clears the selection.
  if (!index.isValid() ||
      flags.testAnyFlags(QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) {
    return QItemSelectionModel::NoUpdate;
  }
  return flags;
}

}  // namespace korimo::ui
