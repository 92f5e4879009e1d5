#include "ui/recent_files_menu.h"

#include <QDir>
#include <QFileInfo>
#include <QStyleOptionMenuItem>

#include "shell/emulator.h"
#include "shell/recent_files.h"
#include "ui/file_commands.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {
const char kMissing[] = "orvoMissingFile";
}

RecentFilesMenu::RecentFilesMenu(MainWindow& window, RecentFiles& recent)
    : QMenu(QStringLiteral("Recent Files"), &window), window_(window), recent_(recent) {
  setObjectName(QStringLiteral("Recent Files"));
  connect(this, &QMenu::aboutToShow, this, &RecentFilesMenu::Rebuild);
  Rebuild();
}

void RecentFilesMenu::Rebuild() {
  clear();
  int number = 0;
  for (const std::string& entry : recent_.Paths()) {
    const QString path = QString::fromStdString(entry);
    const QString label =
        QStringLiteral("&%1 %2")
            .arg(++number % 10)
            .arg(QDir::toNativeSeparators(path).replace('&', QStringLiteral("&&")));
    QAction* action = addAction(label);
    action->setData(path);
    // Still chosen like the others: choosing a missing file explains and removes it.
    action->setProperty(kMissing, !QFileInfo(path).isFile());
    connect(action, &QAction::triggered, this, [this, path] { OpenRecent(path); });
  }
  addSeparator();
  QAction* clearAction = addAction(QStringLiteral("Clear Recent Files"));
  clearAction->setObjectName(QStringLiteral("clearRecentFiles"));
  clearAction->setEnabled(!recent_.Paths().empty());
  connect(clearAction, &QAction::triggered, this, [this] {
    recent_.Clear();
    ScheduleRebuild();
  });
  // Nothing to choose: the submenu itself is unavailable.
  menuAction()->setEnabled(!recent_.Paths().empty());
}

void RecentFilesMenu::ScheduleRebuild() {
  QMetaObject::invokeMethod(this, &RecentFilesMenu::Rebuild, Qt::QueuedConnection);
}

void RecentFilesMenu::OpenRecent(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    recent_.Remove(path.toStdString());
    window_.Emu().ShowMessage(CaptionId::File, kMsgFileNotFound, path.toStdString());
    ScheduleRebuild();
    return;
  }
  OpenChosenFile(window_, path);
}

void RecentFilesMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
  QMenu::initStyleOption(option, action);
  // A missing file is drawn greyed though it can still be chosen.
  if (action != nullptr && action->property(kMissing).toBool()) {
    option->state &= ~QStyle::State_Enabled;
    option->palette.setCurrentColorGroup(QPalette::Disabled);
  }
}

}  // namespace orvo::ui
