// Opens the memory editor, as the main window's menu "EEProm", item "Edit"
// does: the tool keeps one window object, made and loaded (the rows are read)
// on the first opening and shown modally, the main window blocked until the
// editor is hidden. "Close" only hides it, so a later opening shows the same
// rows without reading; after the title-bar close has unloaded it, the next
// opening loads a new one, which reads again.
#pragma once

#include <QObject>
#include <QPointer>

#include "device/modKT90.h"
#include "device/ports.h"
#include "memedit/mem_edit_window.h"
#include "ui/window_lifetime.h"

class QWidget;

namespace korimo::memedit {

class MemEditOpener : public QObject {
  Q_OBJECT

 public:
  // `owner` (the main window, or none) is the editor's parent: the editor
  // stands over it while shown.
  MemEditOpener(modKT90& kt90, Prompts& prompts, QWidget* owner = nullptr);

  // mnuEEPromEdit_Click: loads the window when there is none, then shows it
  // modally and returns once it is hidden or unloaded. A second call while
  // the window is still loading does nothing; one while an earlier opening
  // has not returned (Close hid the window during a Write's wait on the
  // controller) shows it again at once.
  void Open();

  // The loaded window; nullptr before the first opening and after an unload.
  frmMemEdit* Window() const { return window_.Window(); }

 private:
  modKT90& kt90_;
  Prompts& prompts_;
  QPointer<QWidget> owner_;
  ui::SingleWindow<frmMemEdit> window_;
  bool loading_ = false;
};

}  // namespace korimo::memedit
