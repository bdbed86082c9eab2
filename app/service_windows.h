// The service and diagnostic windows of the tool, hung on the main window: the
// hidden menu "EEProm", item "Edit", opens the memory editor; Ctrl+Shift+J the
// jog and home window; Ctrl+Shift+I the I/O verification window. Each opener
// keeps its one window object.
#pragma once

#include "mainwin/main_window.h"
#include "device/modKT90.h"
#include "device/ports.h"
#include "iocheck/io_opener.h"
#include "jog/move_opener.h"
#include "memedit/mem_edit_opener.h"

namespace korimo::app {

class ServiceWindows {
 public:
  ServiceWindows(s& window, modKT90& kt90, Prompts& prompts)
      : editor(kt90, prompts, &window), jog(kt90, prompts), io(kt90) {
    QObject::connect(&window, &s::EEPromEditRequested, &editor, &memedit::MemEditOpener::Open);
    jog.AddShortcut(window);
    io.AddShortcut(window);
  }

  memedit::MemEditOpener editor;
  jog::MoveOpener jog;
  iocheck::IOOpener io;
};

}  // namespace korimo::app
