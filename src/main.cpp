#include "app/artwork.h"
#include "app/look.h"
#include "app/program.h"
#include "media/mmcontrol.h"
#include "platform/dropped_files.h"
#include "platform/termination.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
  // GStreamer starts on a thread of its own while the window system is reached and the windows are made.
  MMControl::prepareGStreamer();
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // only the exit sequence ends the program
  // The desktop entry (data/com.example.glintview.desktop) names the windows' application; every window
  // shows the icon the menu shows.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.example.glintview"));
  QApplication::setWindowIcon(artwork::windowIcon());
  look::useProgramFonts();
  Program program(QCoreApplication::applicationDirPath());
  // "Open with" and the desktop entry's %F: the files to show once started, by their exact bytes (Qt has
  // taken its own options out of argv by now).
  const QString folder = droppedfiles::workingFolder();
  for (int i = 1; i < argc; ++i) program.startFiles << droppedfiles::argument(argv[i], folder);
  // Logout, shutdown or a kill from outside end the program the way its own exit does.
  TerminationRequests termination;
  QObject::connect(&termination, &TerminationRequests::requested, &program,
                   [&program] { program.endSession(); });
  program.start();
  return QApplication::exec();
}
