// "Done": the program ends at once, whatever windows are open and whatever
// wait is in progress; nothing is asked, saved or sent first.
#pragma once

#include <functional>

namespace korimo::ui {

[[noreturn]] void EndProgram();

// What a Done button calls; windows take it by injection so tests can count it.
using EndProgramHook = std::function<void()>;

}  // namespace korimo::ui
