// The faces a window's design font may resolve to: the face itself where it is
// installed (Windows), or its metric-compatible Liberation stand-in (fontconfig
// on Linux, a Wine prefix that maps it).
#pragma once

#include <QFontInfo>
#include <QString>
#include <QStringList>

namespace korimo::test {

inline QStringList DesignFaces(const QString& family) {
  if (family == QStringLiteral("Courier New")) {
    return {family, QStringLiteral("Liberation Mono")};
  }
  if (family == QStringLiteral("Arial")) {
    return {family, QStringLiteral("Liberation Sans")};
  }
  return {family};
}

// Whether `font` resolved to its own face or its stand-in.
inline bool ResolvesToDesignFace(const QFont& font) {
  return DesignFaces(font.family()).contains(QFontInfo(font).family());
}

}  // namespace korimo::test
