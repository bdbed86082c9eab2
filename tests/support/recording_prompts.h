// The prompts of every test: message boxes and input prompts answered from a
// script, every call recorded.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "device/ports.h"

namespace korimo::testing {

struct PromptCall {
  bool is_message = true;
  std::string text;
  std::string title;
  MessageButtons buttons = MessageButtons::kOk;
  MessageAnswer default_answer = MessageAnswer::kOk;
};

class RecordingPrompts final : public Prompts {
 public:
  // Answers for the coming message boxes and prompts, in order. A message box
  // with no answer left gets its default; a prompt with none fails the test.
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

}  // namespace korimo::testing
