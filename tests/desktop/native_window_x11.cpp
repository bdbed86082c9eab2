#include <QProcess>
#include <QRegularExpression>
#include <QWidget>

#include "tests/desktop/native_window.h"

namespace korimo::desktop {
namespace {

std::optional<QString> Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    return std::nullopt;
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

int Field(const QString& text, const char* name) {
  const QRegularExpression line(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(name)));
  return line.match(text).captured(1).toInt();
}

}  // namespace

std::optional<NativeWindow> ReadNativeWindow(QWidget& window) {
  const QString id = QString::number(window.winId());
  const std::optional<QString> name =
      Run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME")});
  const std::optional<QString> info = Run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
  if (!name || !info) {
    return std::nullopt;
  }
  // _NET_WM_NAME(UTF8_STRING) = "Home"
  const QRegularExpression quoted(QStringLiteral("= \"(.*)\"\\s*$"));
  NativeWindow native;
  native.title = quoted.match(*name).captured(1);
  native.client =
      QRect(Field(*info, "Absolute upper-left X"), Field(*info, "Absolute upper-left Y"),
            Field(*info, "Width"), Field(*info, "Height"));
  native.frame = native.client;  // no window manager draws a frame under Xvfb
  native.shown = info->contains(QStringLiteral("IsViewable"));
  return native;
}

bool PressKeys(QWidget& window, const QString& keys) {
  const QString id = QString::number(window.winId());
  return Run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                         id, QStringLiteral("key"), keys})
      .has_value();
}

}  // namespace korimo::desktop
