#include "ui/quit_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>

namespace orvo::ui {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler reaches only what static storage holds: the pipe's write end, and whether a
// signal came already. Both are lock-free atomics, safe to touch from the handler.
std::atomic<int> gWriteFd{-1};
std::atomic<bool> gSignalled{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

void OnSignal(int signal) {
  if (gSignalled.exchange(true)) {
    // The second one: the signal's own action, now.
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(gWriteFd.load(), &byte, 1);
  errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
  gSignalled = false;
  gWriteFd = fds_[1];
  notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &QuitSignals::ReadSignal);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
  // The session ending (a logout) is the same request; the session manager is not kept
  // waiting for a question.
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
      manager.release();
      if (!requested_) {
        requested_ = true;
        emit QuitRequested();
      }
    });
  }
}

QuitSignals::~QuitSignals() {
  for (int signal : kSignals) std::signal(signal, SIG_DFL);
  gWriteFd = -1;
  notifier_.reset();
  for (int fd : fds_) {
    if (fd >= 0) ::close(fd);
  }
}

void QuitSignals::ReadSignal() {
  unsigned char byte = 0;
  while (::read(fds_[0], &byte, 1) == 1) {
  }
  if (requested_) return;
  requested_ = true;
  emit QuitRequested();
}

}  // namespace orvo::ui
