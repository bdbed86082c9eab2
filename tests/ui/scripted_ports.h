// Ports for the window tests: prompts answered from a script, and an event
// pump that runs a test's action at every yield of the device link.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/ports.h"

namespace korimo::test {

struct PromptCall {
  bool is_message = true;
  std::string text;
  std::string title;
  MessageButtons buttons = MessageButtons::kOk;
  MessageAnswer default_answer = MessageAnswer::kOk;
};

class ScriptedPrompts final : public Prompts {
 public:
  // Answers for the coming message boxes and prompts, in order.
  std::deque<MessageAnswer> answers;
  std::deque<std::optional<std::string>> entries;
  std::vector<PromptCall> calls;

  MessageAnswer ShowMessage(const std::string& text, const std::string& title,
                            MessageButtons buttons, MessageAnswer default_answer) override {
    calls.push_back({true, text, title, buttons, default_answer});
    if (answers.empty()) {
      return buttons == MessageButtons::kOk ? MessageAnswer::kOk : default_answer;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::optional<std::string> AskText(const std::string& prompt, const std::string& title) override {
    calls.push_back({false, prompt, title, MessageButtons::kOk, MessageAnswer::kOk});
    if (entries.empty()) {
      ADD_FAILURE() << "unexpected prompt: " << prompt;
      return std::nullopt;
    }
    std::optional<std::string> entry = entries.front();
    entries.pop_front();
    return entry;
  }
};

class ScriptedPump final : public EventPump {
 public:
  // Runs at every yield with the number of earlier yields.
  std::function<void(int)> action;
  int calls = 0;

  void DoEvents() override {
    const int index = calls++;
    if (action) {
      action(index);
    }
  }
};

}  // namespace korimo::test
