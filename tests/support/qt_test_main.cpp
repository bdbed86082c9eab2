// GoogleTest main for the window tests: Qt runs offscreen (no display needed)
// unless the environment names a platform, and it must know that before the
// application object exists; test discovery at build time runs this binary
// too. Wine hands a program none of the QT_* variables of the Unix
// environment, so the choice is made here rather than in CTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  }
#ifdef Q_OS_UNIX
  // Qt warns when the runtime directory is missing; give it a private one.
  QTemporaryDir runtime_dir;
  if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") && runtime_dir.isValid()) {
    QFile::setPermissions(runtime_dir.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_dir.path()));
  }
#endif
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
