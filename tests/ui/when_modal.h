// Answers a modal dialog from inside its own event loop. The action is posted to
// the event loop and posts itself again until a modal widget is up, so it does
// not matter how many turns of the loop come before the dialog opens.
#pragma once

#include <QApplication>
#include <QMetaObject>
#include <QWidget>
#include <functional>

namespace korimo::test {

inline void WhenModal(std::function<void(QWidget&)> act) {
  QMetaObject::invokeMethod(
      qApp,
      [act = std::move(act)]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
          act(*modal);
        } else {
          WhenModal(std::move(act));
        }
      },
      Qt::QueuedConnection);
}

}  // namespace korimo::test
