#include "app/program.h"
#include "platform/termination.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // only the exit sequence ends the program
  Program program(QCoreApplication::applicationDirPath());
  // Logout, shutdown or a kill from outside end the program the way its own exit does.
  TerminationRequests termination;
  QObject::connect(&termination, &TerminationRequests::requested, &program,
                   [&program] { program.EndSession(); });
  program.start();
  return QApplication::exec();
}
