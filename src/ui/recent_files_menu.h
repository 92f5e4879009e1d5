#pragma once
// File > Recent Files: the last ten files opened or saved. A file that no longer exists is shown
// greyed; choosing it says so and takes it off the list. "Clear" empties the list.
#include <QMenu>

namespace orvo {
class RecentFiles;
}

namespace orvo::ui {

class MainWindow;

class RecentFilesMenu final : public QMenu {
  Q_OBJECT
 public:
  RecentFilesMenu(MainWindow& window, RecentFiles& recent);
  // Fills the menu from the list, looking again at which files exist.
  void Rebuild();
  // Rebuild() once control is back in the event loop: an entry may be the one being chosen.
  void ScheduleRebuild();
  // Opens a listed file as File, Load File does; a missing one is removed after a message.
  void OpenRecent(const QString& path);

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;

 private:
  MainWindow& window_;
  RecentFiles& recent_;
};

}  // namespace orvo::ui
