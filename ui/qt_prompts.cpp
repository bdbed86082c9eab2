#include "ui/qt_prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>

namespace korimo::ui {
namespace {

QMessageBox::StandardButton ButtonOf(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::kYes:
      return QMessageBox::Yes;
    case MessageAnswer::kNo:
      return QMessageBox::No;
    case MessageAnswer::kCancel:
      return QMessageBox::Cancel;
    case MessageAnswer::kOk:
      break;
  }
  return QMessageBox::Ok;
}

MessageAnswer AnswerOf(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return MessageAnswer::kYes;
    case QMessageBox::No:
      return MessageAnswer::kNo;
    case QMessageBox::Ok:
      return MessageAnswer::kOk;
    default:
      return MessageAnswer::kCancel;
  }
}

}  // namespace

bool PromptUp() {
  const QWidgetList windows = QApplication::topLevelWidgets();
  return std::any_of(windows.begin(), windows.end(), [](const QWidget* window) {
    return window->isVisible() && (qobject_cast<const QMessageBox*>(window) != nullptr ||
                                   qobject_cast<const QInputDialog*>(window) != nullptr);
  });
}

std::string TitleOrApplication(const std::string& title) {
  return title.empty() ? std::string(kApplicationTitle) : title;
}

MessageAnswer QtPrompts::ShowMessage(const std::string& text, const std::string& title,
                                     MessageButtons buttons, MessageAnswer default_answer) {
  const QMessageBox::StandardButtons shown = buttons == MessageButtons::kYesNo
                                                 ? QMessageBox::Yes | QMessageBox::No
                                                 : QMessageBox::StandardButtons(QMessageBox::Ok);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(TitleOrApplication(title)),
                  QString::fromStdString(text), shown, QApplication::activeWindow());
  box.setDefaultButton(ButtonOf(default_answer));
  const int answer = box.exec();
  if (buttons == MessageButtons::kOk) {
    return MessageAnswer::kOk;
  }
  return AnswerOf(answer);
}

std::optional<std::string> QtPrompts::AskText(const std::string& prompt, const std::string& title) {
  QInputDialog dialog(QApplication::activeWindow());
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(QString::fromStdString(TitleOrApplication(title)));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setTextValue(QString());
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  return dialog.textValue().toStdString();
}

}  // namespace korimo::ui
