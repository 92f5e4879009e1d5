#include "ui/command_table.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>
#include <array>
#include <ctime>
#include <random>

#include "machine/typing.h"
#include "shell/config.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/window_commands.h"
#include "ui/about_dialog.h"
#include "ui/file_commands.h"
#include "ui/main_window.h"
#include "ui/options_sheet.h"
#include "ui/qt_host.h"

namespace orvo::ui {

namespace {

// ---- handlers ----

void Quit(MainWindow& w) {
  w.QuitProgram();
}

void SoftReset(MainWindow& w) {
  ModalScope paused(&w);
  ResetMachine(w.Emu(), false);
}

void HardReset(MainWindow& w) {
  ModalScope paused(&w);
  ResetMachine(w.Emu(), true);
}

void Nmi(MainWindow& w) {
  GenerateNmi(w.Emu());
}

void View100(MainWindow& w) {
  w.ChooseDrawSize(1);
}
void View200(MainWindow& w) {
  w.ChooseDrawSize(2);
}
void View300(MainWindow& w) {
  w.ChooseDrawSize(3);
}
void FullScreen(MainWindow& w) {
  w.ToggleFullScreen();
}
void Vsync(MainWindow& w) {
  w.ToggleVsync();
}

void About(MainWindow& w) {
  ModalScope paused(&w);
  ShowAboutBox(&w);
}

void Help(MainWindow& w) {
  // One generator for the run, seeded from the time of the first request.
  static std::minstd_rand generator(static_cast<unsigned>(std::time(nullptr)));
  const MessageId id = HelpQuotation(static_cast<uint32_t>(generator()));
  w.Host().ShowText("Help", MessageText(id));
}

void LoadBasicText(MainWindow& w) {
  ModalScope paused(&w);
  const QString path = QFileDialog::getOpenFileName(
      &w, QStringLiteral("Load BASIC Text File"), QString(), QStringLiteral("Spool files (*.txt)"));
  if (path.isEmpty()) return;
  if (!StartTypingFile(w.Emu().m, path.toStdString())) {
    w.Emu().ShowMessage(CaptionId::File, 8);  // "File Not Found"
  }
}

void Options(MainWindow& w) {
  {
    ModalScope paused(&w);
    ShowOptionsSheet(&w, w.Emu());
  }
  UpdateViewChecks(w.Emu());
  w.SetUpDisplay();
}

// Tools: the configuration file. The emulation stands still while it is read or written.
void LoadConfiguration(MainWindow& w) {
  ModalScope paused(&w);
  LoadConfig(w.Emu());
  UpdateViewChecks(w.Emu());
}

void SaveConfiguration(MainWindow& w) {
  ModalScope paused(&w);
  SetWindowPlacement(w.Emu(), Placement::MainWindow, {w.x(), w.y()});
  SaveConfig(w.Emu());
}

void DefaultConfiguration(MainWindow& w) {
  ModalScope paused(&w);
  ResetConfig(w.Emu());
  UpdateViewChecks(w.Emu());
}

void Paste(MainWindow& w) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasText()) return;
  // Pasted text is typed faster than a file.
  w.TypeText(data->text(), 4);
}

void Rewind(MainWindow& w) {
  w.RewindOneStep();
}

void Mouse(MainWindow& w) {
  w.ToggleMouseCapture();
}

void MouseInfo(MainWindow& w) {
  w.Host().ShowText("MOUSEINFO", w.MouseInfoText());
}

void InstantSave(MainWindow& w) {
  InstantSnapshotSave(w.Emu());
}

void FullSpeed(MainWindow& w) {
  ToggleFullSpeed(w.Emu());
}

void Pause(MainWindow& w) {
  TogglePause(w.Emu());
}

// ---- the table ----

const CommandRow kRows[] = {
    // File
    {cmd::kLoadFile, "File", nullptr, "Load File", nullptr, LoadFileCommand},
    {cmd::kLoadSnapshot, "File", nullptr, "Load Snapshot", nullptr, LoadSnapshotCommand},
    {cmd::kSaveSnapshot, "File", nullptr, "Save Snapshot", nullptr, SaveSnapshotCommand},
    {cmd::kInsertDiskA, "File", "Insert Disk", "Drive A:", nullptr, nullptr, false, true},
    {cmd::kInsertDiskB, "File", "Insert Disk", "Drive B:", nullptr, nullptr},
    {cmd::kEjectDiskA, "File", "Eject Disk", "Drive A:", nullptr, nullptr},
    {cmd::kEjectDiskB, "File", "Eject Disk", "Drive B:", nullptr, nullptr},
    {cmd::kLoadBinary, "File", nullptr, "Load Binary File", nullptr, nullptr, false, true},
    {cmd::kSaveBinary, "File", nullptr, "Save Binary File", nullptr, nullptr},
    {cmd::kLoadBasicText, "File", nullptr, "Load BASIC Text File", nullptr, LoadBasicText},
    {cmd::kSaveScreen, "File", nullptr, "Save Current Screen", nullptr, nullptr},
    {cmd::kMicrodrives, "File", nullptr, "Microdrives", nullptr, nullptr, false, true},
    {cmd::kIf2Insert, "File", "Interface II Rom", "Insert", nullptr, nullptr},
    {cmd::kIf2Remove, "File", "Interface II Rom", "Remove", nullptr, nullptr},
    {cmd::kQuit, "File", nullptr, "Quit", nullptr, Quit, false, true},
    // Emulation
    {cmd::kSoftReset, "Emulation", nullptr, "Soft Reset", nullptr, SoftReset},
    {cmd::kHardReset, "Emulation", nullptr, "Hard Reset", nullptr, HardReset},
    {cmd::kGenerateNmi, "Emulation", nullptr, "Generate NMI", "F3", Nmi, false, true},
    // Tape
    {cmd::kLoadTape, "Tape", nullptr, "Load Tape", nullptr, LoadTapeCommand},
    {cmd::kEjectTape, "Tape", nullptr, "Eject Tape", nullptr, EjectTapeMenuCommand},
    {cmd::kBrowseTape, "Tape", nullptr, "Browse Tape", nullptr, nullptr},
    {cmd::kRewindTape, "Tape", nullptr, "Rewind Tape", nullptr, RewindTapeMenuCommand},
    {cmd::kStartStopTape, "Tape", nullptr, "Start/Stop Tape", "F11", StartStopTapeMenuCommand,
     false, true},
    // View
    {cmd::kView100, "View", nullptr, "100%", nullptr, View100, true},
    {cmd::kView200, "View", nullptr, "200%", nullptr, View200, true},
    {cmd::kView300, "View", nullptr, "300%", nullptr, View300, true},
    {cmd::kFullscreen, "View", nullptr, "Fullscreen", "F4", FullScreen, true, true},
    {cmd::kVsync, "View", nullptr, "VSync On", nullptr, Vsync, true, true},
    // Tools
    {cmd::kOptions, "Tools", nullptr, "Options", nullptr, Options},
    {cmd::kLoadConfig, "Tools", nullptr, "Load Configuration", nullptr, LoadConfiguration, false,
     true},
    {cmd::kSaveConfig, "Tools", nullptr, "Save Configuration", nullptr, SaveConfiguration},
    {cmd::kDefaultConfig, "Tools", nullptr, "Default Configuration", nullptr, DefaultConfiguration},
    {cmd::kPokeMemory, "Tools", nullptr, "POKE Memory", nullptr, nullptr, false, true},
    {cmd::kPokeFinder, "Tools", nullptr, "POKE Finder", nullptr, nullptr},
    {cmd::kZxPrinter, "Tools", nullptr, "ZX Printer", nullptr, nullptr},
    {cmd::kSpriteSearch, "Tools", nullptr, "Sprite Search", nullptr, nullptr},
    {cmd::kCalculator, "Tools", nullptr, "Calculator", nullptr, nullptr},
    {cmd::kUlaPlusEditor, "Tools", nullptr, "ULAplus Palette Editor", nullptr, nullptr},
    {cmd::kEnableKeystick, "Tools", nullptr, "Enable Keystick", nullptr, nullptr, true, true},
    {cmd::kKeyboardHelper, "Tools", nullptr, "Keyboard Helper", nullptr, nullptr},
    {cmd::kMemoryMap, "Tools", nullptr, "Memory Map", nullptr, nullptr},
    {cmd::kSnapshotAnalyser, "Tools", nullptr, "Snapshot Analyser", nullptr, nullptr},
    {cmd::kInfoseek, "Tools", nullptr, "Infoseek", nullptr, nullptr, false, true},
    {cmd::kAssembler, "Tools", nullptr, "Z80 Assembler", nullptr, nullptr},
    // RZX
    {cmd::kRzxPlay, "RZX", nullptr, "Play...", nullptr, nullptr},
    {cmd::kRzxStop, "RZX", nullptr, "Stop...", nullptr, nullptr},
    {cmd::kRzxRecord, "RZX", nullptr, "Record", nullptr, nullptr, false, true},
    {cmd::kRzxStopRecording, "RZX", nullptr, "Stop Recording", nullptr, nullptr},
    {cmd::kRzxContinue, "RZX", nullptr, "Continue Recording", nullptr, nullptr},
    {cmd::kRzxFinalise, "RZX", nullptr, "Finalise Recording", nullptr, nullptr},
    {cmd::kRzxAddBookmark, "RZX", nullptr, "Add Bookmark", "Ins", nullptr, false, true},
    {cmd::kRzxFromBookmark, "RZX", nullptr, "Record From Bookmark", "Del", nullptr},
    {cmd::kRzxGoToBookmark, "RZX", nullptr, "Go To Bookmark", "Ctrl+Del", nullptr},
    {cmd::kRzxLogging, "RZX", nullptr, "RZX Logging", nullptr, nullptr, true, true},
    {cmd::kRzxInfo, "RZX", nullptr, "Info", nullptr, nullptr},
    // Debug
    {cmd::kDebugger, "Debug", nullptr, "Debugger", "F5", nullptr},
    {cmd::kViewRegisters, "Debug", nullptr, "View Registers", nullptr, nullptr, false, true},
    {cmd::kViewMemory, "Debug", nullptr, "View Memory", nullptr, nullptr},
    {cmd::kViewDisassembly, "Debug", nullptr, "View Disassembly", nullptr, nullptr},
    {cmd::kViewMicrodrive, "Debug", nullptr, "View Microdrive", nullptr, nullptr},
    {cmd::kViewPrinterBuffer, "Debug", nullptr, "View Printer Buffer", nullptr, nullptr},
    {cmd::kPcLogging, "Debug", nullptr, "PC Logging", nullptr, nullptr, true, true},
    {cmd::kPcLogOneFrame, "Debug", nullptr, "PC log One frame", nullptr, nullptr},
    // Help
    {cmd::kAbout, "Help", nullptr, "About", nullptr, About},
    {cmd::kHelp, "Help", nullptr, "Help", nullptr, Help},
    // Keys without a menu item
    {cmd::kInstantSave, nullptr, nullptr, "Instant Snapshot Save", "F1", InstantSave},
    {cmd::kFullSpeed, nullptr, nullptr, "Full Speed", "F2", FullSpeed},
    {cmd::kRewind, nullptr, nullptr, "Rewind", "F6", Rewind},
    {cmd::kMouse, nullptr, nullptr, "Mouse", "F7", Mouse},
    {cmd::kMouseInfo, nullptr, nullptr, "Mouse Information", "F8", MouseInfo},
    {cmd::kPaste, nullptr, nullptr, "Paste", "F12", Paste},
    {cmd::kPause, nullptr, nullptr, "Pause", "Esc", Pause},
};

const std::array<const char*, 8> kMenuTitles = {"File",  "Emulation", "Tape",  "View",
                                                "Tools", "RZX",       "Debug", "Help"};

}  // namespace

std::span<const CommandRow> CommandTable() {
  return kRows;
}

const CommandRow* FindCommand(int id) {
  for (const CommandRow& row : kRows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

std::span<const char* const> MenuTitles() {
  return kMenuTitles;
}

}  // namespace orvo::ui
