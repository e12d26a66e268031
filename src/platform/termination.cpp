#include "platform/termination.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

#ifdef Q_OS_UNIX
int g_pipe[2] = {-1, -1};  // written by the handler, read on the UI thread
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onSignal(int) {
  const char byte = 1;
  // Nothing else is safe here; a full pipe already holds a request.
  [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
}
#endif

}  // namespace

TerminationRequests::TerminationRequests(QObject* parent) : QObject(parent) {
#ifdef Q_OS_UNIX
  if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) == 0) {
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationRequests::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : kSignals) ::sigaction(sig, &action, nullptr);
  }
#endif
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    // The session ends: what the user would lose is saved now, as at an ordinary exit.
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { emit requested(); });
  }
}

TerminationRequests::~TerminationRequests() {
#ifdef Q_OS_UNIX
  if (!notifier_) return;
  for (const int sig : kSignals) ::signal(sig, SIG_DFL);
  delete notifier_;
  notifier_ = nullptr;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
#endif
}

void TerminationRequests::readPipe() {
#ifdef Q_OS_UNIX
  char bytes[64];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
#endif
  emit requested();
}
