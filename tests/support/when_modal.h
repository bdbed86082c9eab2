// Answers a modal dialog from inside its own event loop. The action is posted to
// the event loop and posts itself again until a modal widget is up, so it does
// not matter how many turns of the loop come before the dialog opens.
//
// Nothing can hang: a dialog the action leaves open (a failed assertion
// returned early, say) is closed with a failure, and a WhenModal that goes out
// of scope before any dialog came up fails the test and stops looking.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

namespace korimo::test {

class WhenModal {
 public:
  explicit WhenModal(std::function<void(QWidget&)> act) : state_(std::make_shared<State>()) {
    state_->act = std::move(act);
    Post(state_);
  }
  ~WhenModal() {
    if (!state_->answered) {
      ADD_FAILURE() << "no modal dialog came up";
    }
    state_->cancelled = true;
  }
  WhenModal(const WhenModal&) = delete;
  WhenModal& operator=(const WhenModal&) = delete;

 private:
  struct State {
    std::function<void(QWidget&)> act;
    bool answered = false;
    bool cancelled = false;
  };

  static void Post(std::shared_ptr<State> state) {
    QMetaObject::invokeMethod(
        qApp,
        [state]() {
          if (state->cancelled) {
            return;
          }
          QWidget* modal = QApplication::activeModalWidget();
          if (modal == nullptr) {
            Post(state);
            return;
          }
          state->answered = true;
          const QPointer<QWidget> shown = modal;
          state->act(*modal);
          if (shown != nullptr && shown->isVisible() &&
              QApplication::activeModalWidget() == shown) {
            ADD_FAILURE() << "the modal dialog was left open";
            if (auto* dialog = qobject_cast<QDialog*>(shown.data())) {
              dialog->reject();
            } else {
              shown->close();
            }
          }
        },
        Qt::QueuedConnection);
  }

  std::shared_ptr<State> state_;
};

}  // namespace korimo::test
