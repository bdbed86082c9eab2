// The life of a service window: one instance at a time, opened by its opener,
// and deleted after an unload only once no handler of it is running any more
// (a handler's wait on the controller lets events run, the title-bar close
// among them).
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QShortcut>
#include <QWidget>
#include <functional>

namespace korimo::ui {

// Counts the handlers on the stack; Unload() deletes the window at once when
// none is running, else the last one to return deletes it.
class UnloadAfterHandlers {
 public:
  explicit UnloadAfterHandlers(QObject& window) : window_(window) {}

  // Held by a handler for as long as it runs.
  class Running {
   public:
    explicit Running(UnloadAfterHandlers& owner) : owner_(owner) { ++owner_.running_; }
    ~Running() {
      if (--owner_.running_ == 0 && owner_.unloading_) {
        owner_.window_.deleteLater();
      }
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    UnloadAfterHandlers& owner_;
  };

  bool Unloading() const { return unloading_; }

  // Marks the window unloaded; `announce` runs first (it tells the owner),
  // then the window is deleted unless a handler is still running. A window
  // that is unloading already is left as it is.
  template <class Announce>
  void Unload(Announce announce) {
    if (unloading_) {
      return;
    }
    unloading_ = true;
    announce();
    if (running_ == 0) {
      window_.deleteLater();
    }
  }

 private:
  QObject& window_;
  int running_ = 0;
  bool unloading_ = false;
};

// The one loaded instance of a window `W` (which signals Unloaded()): made on
// the first opening, forgotten when it unloads, deleted with the opener.
template <class W>
class SingleWindow {
 public:
  SingleWindow() = default;
  ~SingleWindow() { delete window_.data(); }
  SingleWindow(const SingleWindow&) = delete;
  SingleWindow& operator=(const SingleWindow&) = delete;

  // The loaded window, made by `make` (which returns a new W*) when there is
  // none. `context` (the opener) owns the connection to Unloaded.
  template <class Make>
  W& Load(QObject& context, Make make) {
    if (window_ == nullptr) {
      W* window = make();
      window_ = window;
      QObject::connect(window, &W::Unloaded, &context, [this] { window_ = nullptr; });
    }
    return *window_;
  }

  // Shows the loaded window (loading it first) and brings it to the front.
  template <class Make>
  void ShowInFront(QObject& context, Make make) {
    W& window = Load(context, make);
    window.show();
    window.raise();
    window.activateWindow();
  }

  W* Window() const { return window_; }

 private:
  QPointer<W> window_;
};

// A shortcut on `window` (`keys`, while that window is active) that calls
// `open`, for as long as `context` (the opener) lives. It belongs to `window`.
inline QShortcut* AddOpenShortcut(QWidget& window, const char* keys, QObject& context,
                                  std::function<void()> open) {
  auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), &window);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, &context, std::move(open));
  return shortcut;
}

}  // namespace korimo::ui
