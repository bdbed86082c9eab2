// GoogleTest main for the window tests: Qt runs offscreen (no display needed),
// and it must know that before the application object exists; test discovery
// at build time runs this binary too.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt warns when the runtime directory is missing; give it a private one.
  QTemporaryDir runtime_dir;
  if (getenv("XDG_RUNTIME_DIR") == nullptr && runtime_dir.isValid()) {
    QFile::setPermissions(runtime_dir.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_RUNTIME_DIR", runtime_dir.path().toLocal8Bit().constData(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
