// The Prompts port over Qt's message box and input dialog. A message or prompt
// given no title carries the application title.
#pragma once

#include "device/ports.h"

class QWidget;

namespace korimo::ui {

class QtPrompts final : public Prompts {
 public:
  MessageAnswer ShowMessage(const std::string& text, const std::string& title,
                            MessageButtons buttons, MessageAnswer default_answer) override;
  std::optional<std::string> AskText(const std::string& prompt, const std::string& title) override;
};

// True while a message box or input prompt is up: the tool shows one at a time,
// so what would open another (an arrival's automatic Read) waits.
bool PromptUp();

}  // namespace korimo::ui
