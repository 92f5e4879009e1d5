#pragma once
// The main window: the picture at (5, 5) of the client area scaled by DrawSize, the menu bar and
// accelerators of the command table, the four-part status bar, keys, focus, drops and the main
// loop that alternates one event pass with one emulated frame.
#include <QLabel>
#include <QMainWindow>
#include <QPoint>
#include <QStatusBar>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/command_id.h"
#include "shell/recent_files.h"
#include "shell/rewind.h"
#include "shell/status_bar.h"

class QAction;
class QTimer;
class QMenu;
class QMimeData;

namespace orvo {
class Emulator;
struct TapeImage;
}  // namespace orvo

namespace orvo::ui {

class PictureView;
class DisplayExtras;
class QtHost;
class RecentFilesMenu;

// "Orvo v" + major.minor.
QString WindowTitle();
QString VersionText();

// The client area for a DrawSize (4, full screen, counts as 1 here): 352 x size + 10 by
// 296 x size + 10, without the menu bar and the status bar.
QSize ClientSizeFor(int drawSize);

// The status bar's four parts at fixed right edges (130, 282, 364, 1040); parts beyond the
// window's width are cut off, as the window does not grow for them.
class StatusBarWidget final : public QStatusBar {
  Q_OBJECT
 public:
  explicit StatusBarWidget(QWidget* parent);
  QLabel* Part(int index) const { return parts_[static_cast<size_t>(index)]; }
  // The +3's disk lamp: hidden (state 0), red (1: a disk in, motor off) or green (2: motor on).
  void SetDiskLamp(int state);
  QLabel* DiskLamp() const { return diskLamp_; }
  // A line over the whole bar for a while (a hint), until HideHint.
  void ShowHint(const QString& text);
  void HideHint();
  QLabel* Hint() const { return hint_; }
  // The parts keep their fixed right edges, moved right where a text would not fit; this is the
  // width the first three parts need for their texts at the longest they get.
  int RequiredWidth() const;
  void Relayout();
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::array<QLabel*, kStatusParts> parts_{};
  QLabel* diskLamp_ = nullptr;
  int diskLampState_ = 0;
  QLabel* hint_ = nullptr;
};

class MainWindow final : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(Emulator& emu, QtHost& host);
  ~MainWindow() override;

  Emulator& Emu() { return emu_; }
  QtHost& Host() { return host_; }

  // ---- display ----
  // Makes the picture view for DrawMode (before the window is first shown, so an OpenGL view does
  // not recreate the native window), sizes the window for DrawSize and shows the picture again.
  void SetUpDisplay();
  // A finished frame from the core.
  void Present(const uint32_t* pixels);
  // How many pictures the core has handed over so far.
  uint64_t PicturesPresented() const { return picturesPresented_; }
  PictureView* View() const { return view_; }
  DisplayExtras& Extras() const { return *extras_; }
  QWidget* ClientArea() const { return client_; }
  // Places the window at its stored position (or centred on the screen) and shows it.
  void ShowInitially();

  // The file named on the command line, handed to the file dispatch.
  void OpenCommandLineFile(const std::string& path);
  // A file dropped on the window (folders are ignored); clears Paused.
  void OpenDroppedFile(const QString& path);
  // What a drop brings: the first of its files is loaded, or else its text typed in. False when
  // it holds neither.
  bool HandleDrop(const QMimeData& mime);
  // Types `text` into the machine, then ENTER (paste, dropped text). A `spoolSpeed` above 0 paces
  // this text only; the "Spool Speed" setting is left as it was.
  void TypeText(const QString& text, int spoolSpeed);
  // A key press or Esc while text is being typed in: the rest is dropped and the speed is normal
  // again. False when nothing was being typed.
  bool StopTyping();

  // ---- recent files ----
  RecentFiles& Recent() { return *recent_; }
  RecentFilesMenu* RecentMenu() const { return recentMenu_; }
  // A file opened or saved: to the top of File > Recent Files.
  void NoteRecentFile(const std::string& path);

  // ---- View menu ----
  void ChooseDrawSize(int size);  // 1, 2, 3: windowed at that size
  void ToggleFullScreen();
  void ToggleVsync();
  bool IsFullScreen() const;

  // ---- status bar ----
  StatusBarWidget* Status() const { return status_; }
  void SetStatusPart(int part, const QString& text);
  StatusBar& StatusData() { return statusData_; }
  // Shows the texts the core keeps.
  void RefreshStatusBar();

  // ---- commands ----
  void DispatchCommand(CommandId id);
  QAction* Action(CommandId id) const;
  QMenu* Menu(const QString& title) const;
  // Menu enabled and checked states from the core's menu states.
  void RefreshMenuStates();

  // ---- main loop ----
  // One pass: the waiting events, one frame, the status bar. False once the program is quitting.
  bool RunPass();
  int RunMainLoop();
  // QuitProgram: asks (with "Exit Msg" on), saves and ends the loop. True when quitting.
  bool QuitProgram();
  // Quit as QuitProgram does, without asking: a signal or the session's end. Open dialogs close.
  void QuitWithoutAsking();
  bool Quitting() const { return quitting_; }

  // ---- rewind ----
  // Timer 3 runs while the options asked for it (500 ms); a clear they asked for empties the
  // history. Checked after every command.
  void SyncRewindTimer();
  bool RewindTimerActive() const;
  RewindHistory& Rewind() { return *rewind_; }
  void RewindOneStep();

  // ---- mouse ----
  // F7: captures the pointer for the emulated mouse when one is chosen, or lets it go.
  void ToggleMouseCapture();
  // Capture is wanted while a mouse type is chosen; after the options changed it, a capture that
  // is no longer wanted is let go.
  bool MouseCaptureWanted() const;
  void MouseTypeChanged();
  // "F7 releases the mouse" over the foot of the picture while the pointer is held.
  QLabel* MouseHint() const { return mouseHint_; }
  void CaptureHostMouse();
  void ReleaseHostMouse();
  bool MouseCaptured() const;
  // A pointer movement while captured, to `client` in the client area: the change since the last
  // one goes to the emulated mouse, and the pointer is put back in the centre.
  void PointerMovedTo(QPoint client);
  // The pointer's confinement rectangle on the screen: the display area of the picture.
  QRect MouseRect() const;
  // F8's text: the confinement rectangle, the pointer and the Kempston counters.
  std::string MouseInfoText() const;

  // The last virtual key forwarded down and up (for diagnostics and tests).
  int LastKeyDown() const { return lastKeyDown_; }
  int LastKeyUp() const { return lastKeyUp_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FinishQuit();  // what Quit does once the user has agreed
  void BuildMenus();
  void MenuOpened();
  void MenuClosed();
  void ForwardKey(QKeyEvent* event, bool down);
  void FocusGained();
  void FocusLost();
  void ApplyWindowGeometry();
  // Whether the window at DrawSize `size` fits the available part of its screen.
  bool FitsScreenAt(int size) const;
  // Moves the window so that all of it is on the available part of its screen.
  void KeepOnScreen();

  Emulator& emu_;
  QtHost& host_;
  QWidget* client_ = nullptr;
  PictureView* view_ = nullptr;
  DisplayExtras* extras_ = nullptr;  // shader effect, parameters, movie recording
  int viewVsync_ = -1;
  uint64_t picturesPresented_ = 0;
  StatusBarWidget* status_ = nullptr;
  StatusBar statusData_;
  std::map<CommandId, QAction*> actions_;
  std::map<QString, QMenu*> menus_;
  std::vector<QMenu*> submenus_;
  std::unique_ptr<RecentFiles> recent_;
  RecentFilesMenu* recentMenu_ = nullptr;
  bool quitting_ = false;
  const TapeImage* hintedTape_ = nullptr;
  std::map<uint32_t, char32_t> heldCharacters_;  // by scan code: characters typed by keys held  //
                                                 // the tape the start hint was last given for
  bool usePhysicalKeys_ = false;
  int lastKeyDown_ = 0;
  int lastKeyUp_ = 0;
  // Full screen remembers the windowed size and position to go back to.
  int windowedDrawSize_ = 1;
  QPoint windowedPosition_;
  QRect windowedGeometry_;
  QString fitNote_;  // what the status bar says when a size did not fit the screen
  bool shownOnce_ = false;
  int menusOpen_ = 0;
  std::unique_ptr<RewindHistory> rewind_;
  QTimer* rewindTimer_ = nullptr;
  uint32_t rewindClearsSeen_ = 0;
  void RecentrePointer();
  void ShowMouseHint(bool show);
  QLabel* mouseHint_ = nullptr;
  QPoint pointerBeforeCapture_;
  // Relative motion while captured: the last pointer position seen in the client area. Where the
  // platform cannot warp the pointer (Wayland) the deltas still count and the grab keeps the
  // pointer in the window.
  bool pointerKnown_ = false;
  QPoint lastPointer_;
  uint32_t pausedBeforeMenu_ = 0;
};

// Pauses the emulation (and the sound) while a modal dialog is open; restores the previous state
// when it closes.
class ModalScope {
 public:
  explicit ModalScope(MainWindow* window);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  MainWindow* window_;
  uint32_t wasPaused_ = 0;
};

}  // namespace orvo::ui
