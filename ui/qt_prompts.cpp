#include "ui/qt_prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>
#include <array>
#include <utility>

namespace korimo::ui {
namespace {

// The answers and the message box buttons that give them.
constexpr std::array<std::pair<MessageAnswer, QMessageBox::StandardButton>, 4> kButtons{{
    {MessageAnswer::kYes, QMessageBox::Yes},
    {MessageAnswer::kNo, QMessageBox::No},
    {MessageAnswer::kCancel, QMessageBox::Cancel},
    {MessageAnswer::kOk, QMessageBox::Ok},
}};

QMessageBox::StandardButton ButtonOf(MessageAnswer answer) {
  const auto found = std::ranges::find(kButtons, answer, &decltype(kButtons)::value_type::first);
  return found != kButtons.end() ? found->second : QMessageBox::Ok;
}

// Any other button (Escape, say) cancels.
MessageAnswer AnswerOf(int button) {
  const auto found = std::ranges::find(kButtons, button, &decltype(kButtons)::value_type::second);
  return found != kButtons.end() ? found->first : MessageAnswer::kCancel;
}

// `title`, or the application title when it is empty.
std::string TitleOrApplication(const std::string& title) {
  return title.empty() ? std::string(kApplicationTitle) : title;
}

}  // namespace

bool PromptUp() {
  const QWidgetList windows = QApplication::topLevelWidgets();
  return std::any_of(windows.begin(), windows.end(), [](const QWidget* window) {
    return window->isVisible() && (qobject_cast<const QMessageBox*>(window) != nullptr ||
                                   qobject_cast<const QInputDialog*>(window) != nullptr);
  });
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
  return buttons == MessageButtons::kOk ? MessageAnswer::kOk : AnswerOf(answer);
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
