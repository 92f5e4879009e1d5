#pragma once
// SIGTERM, SIGHUP and SIGINT (a shutdown, a closed terminal, Ctrl+C) and the desktop session's end
// ask the program to quit as its Quit command does, without the question: disks and cartridges
// go back to their files and the settings are saved. A second signal before that is done ends the
// program at once, as the signal would have without Orvo's handler.
#include <QObject>
#include <memory>

class QSocketNotifier;

namespace orvo::ui {

class QuitSignals final : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; one object at a time.
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;

 signals:
  // Once, from the event loop, for the first signal or the session's end.
  void QuitRequested();

 private:
  void ReadSignal();

  int fds_[2] = {-1, -1};  // the handler writes the signal number to [1]; [0] is watched
  std::unique_ptr<QSocketNotifier> notifier_;
  bool requested_ = false;
};

}  // namespace orvo::ui
