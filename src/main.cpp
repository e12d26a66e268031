#include "app/program.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // only the exit sequence ends the program
  Program program(QCoreApplication::applicationDirPath());
  program.start();
  return QApplication::exec();
}
