#pragma once
// "Orvo Options": the ten option pages in a tab widget with OK and Cancel. Every page shows the
// pending copy of the settings and writes each change into it at once; OK applies it, Cancel
// drops it.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QTabWidget;

namespace orvo {
class Emulator;
}

namespace orvo::ui {

class OptionsSheet final : public QDialog {
 public:
  // Captures the pending copy from the live settings. `controllers` names the attached game
  // controllers for the "Joystick" list.
  OptionsSheet(Emulator& emu, QWidget* parent, const QStringList& controllers = {});

  QTabWidget* Tabs() const { return tabs_; }

  // OK: stores the main window's position, then applies the pending copy.
  void accept() override;

  // The file and folder pickers, replaceable for tests: (parent, title, start folder[, filter]).
  // They return the chosen path, or an empty string on Cancel.
  static std::function<QString(QWidget*, const QString&, const QString&, const QString&)>
      chooseFile;
  static std::function<QString(QWidget*, const QString&, const QString&)> chooseFolder;
  // Inserts a disk into drive 0 (A:) or 1 (B:) and returns the file name the drive now shows;
  // the Disks page's buttons are enabled only while this is set.
  static std::function<QString(Emulator&, QWidget*, int drive)> insertDisk;
  // The file names shown for the two drives.
  static std::function<QString(const Emulator&, int drive)> diskName;

 private:
  QWidget* EmulationPage();
  QWidget* HardwarePage();
  QWidget* DisplayPage();
  QWidget* SoundPage();
  QWidget* InputPage(const QStringList& controllers);
  QWidget* DebuggerPage();
  QWidget* FoldersPage();
  QWidget* TapesPage();
  QWidget* SnapshotsPage();
  QWidget* DisksPage();

  // Shows the pending values on the Hardware page after a rule changed more than one of them.
  void RefreshHardware();

  Emulator& emu_;
  QTabWidget* tabs_ = nullptr;
};

// Shows the sheet modally over `parent`; true when it was closed with OK.
bool ShowOptionsSheet(QWidget* parent, Emulator& emu);

}  // namespace orvo::ui
