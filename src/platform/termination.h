#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the ways a desktop ends a program from outside into one signal on the UI thread: SIGTERM, SIGHUP and
// SIGINT (logout, a system shutdown, a terminal closing) and the session manager's request to save. Only
// what is safe in a signal handler happens there: one byte into a pipe, read by a socket notifier. One
// instance, owned by main(); the handlers are removed when it goes.
class TerminationRequests : public QObject {
  Q_OBJECT

 public:
  explicit TerminationRequests(QObject* parent = nullptr);
  ~TerminationRequests() override;

 signals:
  // The program is asked to end: run the exit sequence now.
  void requested();

 private:
  void readPipe();

  QSocketNotifier* notifier_ = nullptr;
};
