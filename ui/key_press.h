// Key-press handlers in the manner of a Windows text box: a handler sees the
// character code a key types, before the control acts on it, and may set the
// code to 0 to discard the key. Keys that type nothing (Delete, arrows, Tab,
// function keys) never reach a handler.
#pragma once

#include <functional>

class QKeyEvent;

namespace korimo::ui {

using KeyPressHandler = std::function<void(int& key_ascii)>;

// The character code `event` types: Backspace 8, Enter 13, Escape 27, Ctrl+A
// to Ctrl+Z 1 to 26, a printable key its character; 0 when it types nothing.
int TypedCharacterCode(const QKeyEvent& event);

// Runs `handler` for the key when it types a character; true when the handler
// discarded it.
bool KeyDiscarded(const KeyPressHandler& handler, const QKeyEvent& event);

}  // namespace korimo::ui
