// The tool's icon for the windows' title bars, from the PNG sizes compiled in
// as resources (app/CMakeLists.txt; source: packaging/icons/korimo.svg).
#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

namespace korimo::app {

inline QIcon KorimoIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/korimo-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace korimo::app
