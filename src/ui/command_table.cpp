#include "ui/command_table.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>
#include <array>
#include <ctime>
#include <random>

#include "machine/typing.h"
#include "shell/addon_commands.h"
#include "shell/config.h"
#include "shell/debugger_commands.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "shell/tape_commands.h"
#include "shell/window_commands.h"
#include "ui/about_dialog.h"
#include "ui/assembler/assembler_window.h"
#include "ui/debugger/debugger_window.h"
#include "ui/disk/disk_menu.h"
#include "ui/display_extras.h"
#include "ui/file_commands.h"
#include "ui/main_window.h"
#include "ui/microdrive/cartridge_viewer.h"
#include "ui/microdrive/microdrive_window.h"
#include "ui/options_sheet.h"
#include "ui/printer/printer_buffer_view.h"
#include "ui/printer/printer_window.h"
#include "ui/qt_host.h"
#include "ui/rzx/rzx_commands.h"
#include "ui/tape/tape_browser.h"
#include "ui/tools/tool_commands.h"

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
  HardResetCommand(w.Emu());
}

void Interface2Insert(MainWindow& w) {
  ModalScope paused(&w);
  Emulator& emu = w.Emu();
  const QString path = QFileDialog::getOpenFileName(
      &w, QStringLiteral("Open Interface II cartridge"), StartFolder({emu.files.CurrentFilePath}),
      QStringLiteral("ROM files (*.rom)"));
  if (path.isEmpty()) return;
  InsertInterface2Cartridge(emu, path.toStdString());
}

void Interface2Remove(MainWindow& w) {
  ModalScope paused(&w);
  RemoveInterface2Cartridge(w.Emu());
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

void Debugger(MainWindow& w) {
  OpenDebugger(w.Emu(), &w);
  w.RefreshMenuStates();
}
void ViewRegisters(MainWindow& w) {
  ModalScope paused(&w);
  ShowRegisterWindow(w.Emu(), &w);
}
void ViewMemory(MainWindow& w) {
  ShowMemoryWindow(w.Emu(), &w);
}
void ViewDisassembly(MainWindow& w) {
  ModalScope paused(&w);
  DisassemblyDialog dialog(w.Emu(), &w);
  dialog.exec();
}
// "PC Logging" toggles a continuous log; "PC log One frame" logs the next frame. Each asks for the
// file first; the check mark follows the log.
void StartOrStopPcLog(MainWindow& w, bool oneFrame) {
  Emulator& emu = w.Emu();
  if (!oneFrame && emu.m.debug.LogContinuous) {
    StopPcLogChecked(emu);
  } else {
    ModalScope paused(&w);
    const QString path =
        QFileDialog::getSaveFileName(&w, QStringLiteral("PC Log"), QStringLiteral("pclog.txt"));
    if (!path.isEmpty()) StartPcLogChecked(emu, path.toStdString(), oneFrame);
  }
  emu.menu.Check(CommandId::PcLogging, emu.m.debug.LogContinuous != 0);
  w.RefreshMenuStates();
}
void PcLogging(MainWindow& w) {
  StartOrStopPcLog(w, false);
}
void PcLogOneFrame(MainWindow& w) {
  StartOrStopPcLog(w, true);
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
    w.Emu().ShowMessage(CaptionId::File, kMsgFileNotFound);
  }
}

void Microdrives(MainWindow& w) {
  ShowMicrodrivesWindow(w);
}

void ViewMicrodrive(MainWindow& w) {
  ShowCartridgeViewer(w);
}

void ViewPrinterBuffer(MainWindow& w) {
  ShowPrinterBufferView(w);
}

void Options(MainWindow& w) {
  {
    ModalScope paused(&w);
    ShowOptionsSheet(&w, w.Emu());
  }
  w.MouseTypeChanged();
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

void BrowseTape(MainWindow& w) {
  ShowTapeBrowser(w);
}

// "Save to tape": choose the TAP file the ROM's SAVE appends to; cancelling turns it off.
void SaveToTape(MainWindow& w) {
  ModalScope paused(&w);
  Emulator& emu = w.Emu();
  const QString path = QFileDialog::getSaveFileName(
      &w, QStringLiteral("Save to tape"), QString::fromStdString(SaveTapeTarget(emu)),
      QStringLiteral("TAP files (*.tap)"), nullptr, QFileDialog::DontConfirmOverwrite);
  SetSaveToTape(emu, !path.isEmpty(), path.toStdString());
}

void InstantSave(MainWindow& w) {
  InstantSnapshotSave(w.Emu());
}

void FullSpeed(MainWindow& w) {
  ToggleFullSpeed(w.Emu());
}

void EnableKeystick(MainWindow& w) {
  ToggleKeystick(w.Emu());
}

void Pause(MainWindow& w) {
  // Esc while text is being typed in stops the typing instead.
  if (w.StopTyping()) return;
  TogglePause(w.Emu());
}

void RecordMovie(MainWindow& w) {
  w.Extras().RecordMovie();
}

void StopMovie(MainWindow& w) {
  w.Extras().StopMovie();
}

void ShaderParameters(MainWindow& w) {
  w.Extras().ShowParameters();
}

void LoadShaderPreset(MainWindow& w) {
  w.Extras().LoadPreset();
}

void BuiltinShaders(MainWindow& w) {
  w.Extras().ClearPreset();
}

// ---- the table ----

const CommandRow kRows[] = {
    // File
    {CommandId::LoadFile, "File", nullptr, "Load File", nullptr, LoadFileCommand},
    {CommandId::LoadSnapshot, "File", nullptr, "Load Snapshot", nullptr, LoadSnapshotCommand},
    {CommandId::SaveSnapshot, "File", nullptr, "Save Snapshot", nullptr, SaveSnapshotCommand},
    {CommandId::InsertDiskA, "File", "Insert Disk", "Drive A:", nullptr, InsertDiskA, false, true},
    {CommandId::InsertDiskB, "File", "Insert Disk", "Drive B:", nullptr, InsertDiskB},
    {CommandId::InsertDiskC, "File", "Insert Disk", "Drive C:", nullptr, InsertDiskC},
    {CommandId::InsertDiskD, "File", "Insert Disk", "Drive D:", nullptr, InsertDiskD},
    {CommandId::EjectDiskA, "File", "Eject Disk", "Drive A:", nullptr, EjectDiskA},
    {CommandId::EjectDiskB, "File", "Eject Disk", "Drive B:", nullptr, EjectDiskB},
    {CommandId::EjectDiskC, "File", "Eject Disk", "Drive C:", nullptr, EjectDiskC},
    {CommandId::EjectDiskD, "File", "Eject Disk", "Drive D:", nullptr, EjectDiskD},
    {CommandId::NewDiskA, "File", "New Disk", "Drive A:", nullptr, NewDiskA},
    {CommandId::NewDiskB, "File", "New Disk", "Drive B:", nullptr, NewDiskB},
    {CommandId::NewDiskC, "File", "New Disk", "Drive C:", nullptr, NewDiskC},
    {CommandId::NewDiskD, "File", "New Disk", "Drive D:", nullptr, NewDiskD},
    {CommandId::WriteProtectA, "File", "Write Protect", "Drive A:", nullptr, WriteProtectA, true},
    {CommandId::WriteProtectB, "File", "Write Protect", "Drive B:", nullptr, WriteProtectB, true},
    {CommandId::WriteProtectC, "File", "Write Protect", "Drive C:", nullptr, WriteProtectC, true},
    {CommandId::WriteProtectD, "File", "Write Protect", "Drive D:", nullptr, WriteProtectD, true},
    {CommandId::LoadBinary, "File", nullptr, "Load Binary File", nullptr, LoadBinaryCommand, false,
     true},
    {CommandId::SaveBinary, "File", nullptr, "Save Binary File", nullptr, SaveBinaryCommand},
    {CommandId::LoadBasicText, "File", nullptr, "Load BASIC Text File", nullptr, LoadBasicText},
    {CommandId::SaveScreen, "File", nullptr, "Save Current Screen", nullptr, SaveScreenCommand},
    {CommandId::Microdrives, "File", nullptr, "Microdrives", nullptr, Microdrives, false, true},
    {CommandId::If2Insert, "File", "Interface II Rom", "Insert", nullptr, Interface2Insert},
    {CommandId::If2Remove, "File", "Interface II Rom", "Remove", nullptr, Interface2Remove},
    {CommandId::RecordMovie, "File", nullptr, "Record Movie", nullptr, RecordMovie, false, true},
    {CommandId::StopMovie, "File", nullptr, "Stop Movie", nullptr, StopMovie},
    {CommandId::Quit, "File", nullptr, "Quit", nullptr, Quit, false, true},
    // Emulation
    {CommandId::SoftReset, "Emulation", nullptr, "Soft Reset", nullptr, SoftReset},
    {CommandId::HardReset, "Emulation", nullptr, "Hard Reset", nullptr, HardReset},
    {CommandId::GenerateNmi, "Emulation", nullptr, "Generate NMI", "F3", Nmi, false, true},
    // Tape
    {CommandId::LoadTape, "Tape", nullptr, "Load Tape", nullptr, LoadTapeCommand},
    {CommandId::EjectTape, "Tape", nullptr, "Eject Tape", nullptr, EjectTapeMenuCommand},
    {CommandId::BrowseTape, "Tape", nullptr, "Browse Tape", nullptr, BrowseTape},
    {CommandId::RewindTape, "Tape", nullptr, "Rewind Tape", nullptr, RewindTapeMenuCommand},
    {CommandId::StartStopTape, "Tape", nullptr, "Start/Stop Tape", "F11", StartStopTapeMenuCommand,
     false, true},
    {CommandId::SaveToTape, "Tape", nullptr, "Save to tape", nullptr, SaveToTape, false, true},
    // View
    {CommandId::View100, "View", nullptr, "100%", nullptr, View100, true},
    {CommandId::View200, "View", nullptr, "200%", nullptr, View200, true},
    {CommandId::View300, "View", nullptr, "300%", nullptr, View300, true},
    {CommandId::Fullscreen, "View", nullptr, "Fullscreen", "F4", FullScreen, true, true},
    {CommandId::Vsync, "View", nullptr, "VSync On", nullptr, Vsync, true, true},
    {CommandId::ShaderParameters, "View", nullptr, "Shader Parameters", nullptr, ShaderParameters,
     false, true},
    {CommandId::LoadShaderPreset, "View", nullptr, "Load Shader Preset", nullptr, LoadShaderPreset},
    {CommandId::BuiltinShaders, "View", nullptr, "Built-in Shader Effects", nullptr,
     BuiltinShaders},
    // Tools
    {CommandId::Options, "Tools", nullptr, "Options", nullptr, Options},
    {CommandId::LoadConfig, "Tools", nullptr, "Load Configuration", nullptr, LoadConfiguration,
     false, true},
    {CommandId::SaveConfig, "Tools", nullptr, "Save Configuration", nullptr, SaveConfiguration},
    {CommandId::DefaultConfig, "Tools", nullptr, "Default Configuration", nullptr,
     DefaultConfiguration},
    {CommandId::PokeMemory, "Tools", nullptr, "POKE Memory", nullptr, PokeMemoryCommand, false,
     true},
    {CommandId::PokeFinder, "Tools", nullptr, "POKE Finder", nullptr, PokeFinderCommand},
    {CommandId::ZxPrinter, "Tools", nullptr, "ZX Printer", nullptr, ZxPrinterCommand},
    {CommandId::SpriteSearch, "Tools", nullptr, "Sprite Search", nullptr, SpriteSearchCommand},
    {CommandId::Calculator, "Tools", nullptr, "Calculator", nullptr, CalculatorCommand},
    {CommandId::UlaPlusEditor, "Tools", nullptr, "ULAplus Palette Editor", nullptr,
     UlaPlusEditorCommand},
    {CommandId::EnableKeystick, "Tools", nullptr, "Enable Keystick", nullptr, EnableKeystick, true,
     true},
    {CommandId::KeyboardHelper, "Tools", nullptr, "Keyboard Helper", nullptr,
     KeyboardHelperCommand},
    {CommandId::MemoryMap, "Tools", nullptr, "Memory Map", nullptr, MemoryMapCommand},
    {CommandId::SnapshotAnalyser, "Tools", nullptr, "Snapshot Analyser", nullptr,
     SnapshotAnalyserCommand},
    {CommandId::Infoseek, "Tools", nullptr, "Infoseek", nullptr, nullptr, false, true},
    {CommandId::Assembler, "Tools", nullptr, "Z80 Assembler", nullptr, AssemblerCommand},
    // RZX
    {CommandId::RzxPlay, "RZX", nullptr, "Play...", nullptr, RzxPlayCommand},
    {CommandId::RzxStop, "RZX", nullptr, "Stop...", nullptr, RzxStopCommand},
    {CommandId::RzxRecord, "RZX", nullptr, "Record", nullptr, RzxRecordCommand, false, true},
    {CommandId::RzxStopRecording, "RZX", nullptr, "Stop Recording", nullptr,
     RzxStopRecordingCommand},
    {CommandId::RzxContinue, "RZX", nullptr, "Continue Recording", nullptr, RzxContinueCommand},
    {CommandId::RzxFinalise, "RZX", nullptr, "Finalise Recording", nullptr, RzxFinaliseCommand},
    {CommandId::RzxAddBookmark, "RZX", nullptr, "Add Bookmark", "Ins", RzxAddBookmarkCommand, false,
     true},
    {CommandId::RzxFromBookmark, "RZX", nullptr, "Record From Bookmark", "Del",
     RzxFromBookmarkCommand},
    {CommandId::RzxGoToBookmark, "RZX", nullptr, "Go To Bookmark", "Ctrl+Del",
     RzxGoToBookmarkCommand},
    {CommandId::RzxLogging, "RZX", nullptr, "RZX Logging", nullptr, RzxLoggingCommand, true, true},
    {CommandId::RzxInfo, "RZX", nullptr, "Info", nullptr, RzxInfoCommand},
    // Debug
    {CommandId::Debugger, "Debug", nullptr, "Debugger", "F5", Debugger},
    {CommandId::ViewRegisters, "Debug", nullptr, "View Registers", nullptr, ViewRegisters, false,
     true},
    {CommandId::ViewMemory, "Debug", nullptr, "View Memory", nullptr, ViewMemory},
    {CommandId::ViewDisassembly, "Debug", nullptr, "View Disassembly", nullptr, ViewDisassembly},
    {CommandId::ViewMicrodrive, "Debug", nullptr, "View Microdrive", nullptr, ViewMicrodrive},
    {CommandId::ViewPrinterBuffer, "Debug", nullptr, "View Printer Buffer", nullptr,
     ViewPrinterBuffer},
    {CommandId::PcLogging, "Debug", nullptr, "PC Logging", nullptr, PcLogging, true, true},
    {CommandId::PcLogOneFrame, "Debug", nullptr, "PC log One frame", nullptr, PcLogOneFrame},
    // Help
    {CommandId::About, "Help", nullptr, "About", nullptr, About},
    {CommandId::Help, "Help", nullptr, "Help", nullptr, Help},
    // Keys without a menu item
    {CommandId::InstantSave, nullptr, nullptr, "Instant Snapshot Save", "F1", InstantSave},
    {CommandId::FullSpeed, nullptr, nullptr, "Full Speed", "F2", FullSpeed},
    {CommandId::Rewind, nullptr, nullptr, "Rewind", "F6", Rewind},
    {CommandId::Mouse, nullptr, nullptr, "Mouse", "F7", Mouse},
    {CommandId::MouseInfo, nullptr, nullptr, "Mouse Information", "F8", MouseInfo},
    {CommandId::Paste, nullptr, nullptr, "Paste", "F12", Paste},
    {CommandId::Pause, nullptr, nullptr, "Pause", "Esc", Pause},
};

const std::array<const char*, 8> kMenuTitles = {"File",  "Emulation", "Tape",  "View",
                                                "Tools", "RZX",       "Debug", "Help"};

}  // namespace

std::span<const CommandRow> CommandTable() {
  return kRows;
}

const CommandRow* FindCommand(CommandId id) {
  for (const CommandRow& row : kRows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

std::span<const char* const> MenuTitles() {
  return kMenuTitles;
}

}  // namespace orvo::ui
