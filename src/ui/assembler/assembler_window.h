#pragma once
// The Z80 assembler's window: source files in tabs (QScintilla editors with Z80 highlighting,
// line numbers, undo, find and replace), Assemble (F9) into the running machine's memory,
// Assemble and Run, the output saved as bytes, a TAP with a loader or a snapshot, and the errors
// listed below the editor, each marked at its line (a click goes there). The machine keeps
// running while the window is open.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <memory>
#include <optional>

#include "assembler/assembler.h"
#include "shell/recent_files.h"
#include "ui/tools/tool_window.h"

class QsciScintilla;
class QMenu;

namespace orvo::ui {

class AssemblerWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit AssemblerWindow(MainWindow& main);

  // A new empty tab.
  QsciScintilla* NewSource();
  // Opens `path` in a tab (or shows the tab that has it); false with a message when unreadable.
  bool OpenSource(const QString& path);
  // Saves the current tab to its file (or asks for one); false when nothing was saved.
  bool SaveSource();
  bool SaveSourceAs();

  // Assembles the current tab (the open tabs' text stands for their files) and, without errors,
  // writes the code into memory and sets the debugger's labels. True without errors.
  bool Assemble();
  // Assemble, then start the code at its entry (END's operand, else its first byte).
  bool AssembleAndRun();
  // Writes the last good result to `path` (.bin, .tap, .z80, .szx, .sna).
  bool SaveOutput(const QString& path);

  // Moves the cursor to diagnostic `row` of the list.
  void GoToDiagnostic(int row);

  QTabWidget* tabs() const { return tabs_; }
  QsciScintilla* Editor(int index) const;
  QsciScintilla* CurrentEditor() const;
  QListWidget* diagnostics() const { return diagnostics_; }
  QLabel* status() const { return status_; }
  QComboBox* bank() const { return bank_; }
  const std::optional<AsmResult>& lastResult() const { return last_; }
  // Where the error marker sits: the marker number editors use for lines with errors.
  static constexpr int kErrorMarker = 0;
  static constexpr int kWarningMarker = 1;

 private:
  void BuildMenus();
  void ShowFindReplace();
  void FindNext();
  void ReplaceOne();
  void ReplaceAll();
  void CloseTab(int index);
  void UpdateTitle(int index);
  void RefreshRecentMenu();
  QString PathOf(int index) const;
  int TabOf(const QString& path) const;
  void ClearMarkers();

  QTabWidget* tabs_;
  QListWidget* diagnostics_;
  QLabel* status_;
  QComboBox* bank_;
  QMenu* recentMenu_ = nullptr;
  RecentFiles recent_;
  std::optional<AsmResult> last_;
  QString findText_, replaceText_;
  int untitled_ = 0;
};

// Tools > Z80 Assembler.
void AssemblerCommand(MainWindow& w);

}  // namespace orvo::ui
