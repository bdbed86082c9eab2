#include <QWidget>
#include <vector>

#include "tests/desktop/native_window.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::desktop {
namespace {

INPUT Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace

std::optional<NativeWindow> ReadNativeWindow(QWidget& window) {
  const auto hwnd = reinterpret_cast<HWND>(window.winId());
  RECT client{};
  RECT frame{};
  POINT origin{0, 0};
  if (!GetClientRect(hwnd, &client) || !ClientToScreen(hwnd, &origin) ||
      !GetWindowRect(hwnd, &frame)) {
    return std::nullopt;
  }
  std::vector<wchar_t> title(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1);
  GetWindowTextW(hwnd, title.data(), static_cast<int>(title.size()));
  NativeWindow native;
  native.title = QString::fromWCharArray(title.data());
  native.client = QRect(origin.x, origin.y, client.right - client.left, client.bottom - client.top);
  native.frame = QRect(frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
  native.shown = IsWindowVisible(hwnd) != FALSE;
  return native;
}

bool PressKeys(QWidget& window, const QString& keys) {
  SetForegroundWindow(reinterpret_cast<HWND>(window.winId()));
  std::vector<INPUT> inputs;
  const QString lower = keys.toLower();
  if (lower == QStringLiteral("tab")) {
    inputs = {Key(VK_TAB, false), Key(VK_TAB, true)};
  } else if (lower.startsWith(QStringLiteral("alt+")) && lower.size() == 5) {
    const auto letter = static_cast<WORD>(lower.at(4).toUpper().unicode());
    inputs = {Key(VK_MENU, false), Key(letter, false), Key(letter, true), Key(VK_MENU, true)};
  } else {
    return false;
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

}  // namespace korimo::desktop
