#pragma once
// The debugger window "ORVO_DEBUGGER" (F5, or a breakpoint's stop): registers and flags, the
// disassembly around PC, memory and stack, with the "Run" menu's stepping and run-until commands;
// the breakpoint list "ORVO_BREAKPOINTS"; and the "View Disassembly" window "DEBUG_DISASM" with
// the "Disassemble to File" tool. All of them are modal: the machine only moves when they say.
#include <QDialog>
#include <cstdint>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;
class QTreeWidget;
class QCheckBox;

namespace orvo {
class Emulator;
}

namespace orvo::ui {

// Memory from a chosen address, 16 rows of 8 bytes, editable. Reads and writes go through the
// current page map without timing or device side effects; a byte in protected ROM is refused.
class MemoryView final : public QWidget {
  Q_OBJECT
 public:
  MemoryView(Emulator& emu, QWidget* parent);
  void SetBase(int base);
  void SetAddress(uint16_t address);
  void Refresh();
  QTableWidget* Table() const { return table_; }

 private:
  void Edited(int row, int column);

  Emulator& emu_;
  int base_ = 16;
  bool refreshing_ = false;
  uint16_t address_ = 0x4000;
  QLineEdit* addressEdit_ = nullptr;
  QTableWidget* table_ = nullptr;
};

// The register panel's lines ("PC  %04X", ..., " TStates: %d", "MEMPTR %04X"; "LAST PC: %04X"
// when `lastPc`).
QString RegisterPanelText(const Emulator& emu, bool lastPc);

class DebuggerWindow final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDisassemblyLines = 43;

  explicit DebuggerWindow(Emulator& emu, QWidget* parent = nullptr);

  // Shows every view again from the machine.
  void Refresh();
  // The "Run" toggle: emulation goes on when the window closes.
  bool RunRequested() const { return run_; }
  int Base() const { return base_; }
  void SetBase(int base);

  // The commands, also reached through the menu and its keys.
  void SingleStep();
  void StepOver();
  void StepOut();
  void ToggleRun();
  void RunUntilEndOfFrame();
  void RunUntilStartOfFrame();
  void RunUntilInterrupt();
  void RunUntilOpcode(uint8_t flag);
  void RunUntilTState(uint32_t tstate);
  void RunUntilPort(bool write, int32_t port);

  QListWidget* Disassembly() const { return disassembly_; }
  QTableWidget* Registers() const { return registers_; }
  MemoryView* Memory() const { return memory_; }
  QLabel* RegisterPanel() const { return panel_; }

 private:
  void BuildMenus();
  void OpenCalculator();
  void RefreshRegisters();
  void RefreshDisassembly();
  void RegisterEdited(int row);
  void FlagToggled();
  void ShowMachinePicture();
  QString Number(uint32_t value, int hexDigits) const;
  bool ReadNumber(const QString& text, uint32_t* value) const;

  Emulator& emu_;
  int base_ = 16;
  bool run_ = false;
  bool refreshing_ = false;
  QAction* runAction_ = nullptr;
  QLabel* panel_ = nullptr;
  QListWidget* disassembly_ = nullptr;
  QTableWidget* registers_ = nullptr;
  MemoryView* memory_ = nullptr;
  QListWidget* stack_ = nullptr;
  QCheckBox* flags_[8] = {};
};

// The breakpoint list with its add, delete and update buttons.
class BreakpointDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit BreakpointDialog(Emulator& emu, QWidget* parent = nullptr);
  void Fill();
  QTreeWidget* List() const { return list_; }

 private:
  void Edit(bool update);
  void Delete();

  Emulator& emu_;
  QTreeWidget* list_ = nullptr;
};

// "View Disassembly": a listing from an address, and the listing tool.
class DisassemblyDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit DisassemblyDialog(Emulator& emu, QWidget* parent = nullptr);

 private:
  void Show();
  void ToFile();

  Emulator& emu_;
  QLineEdit* address_ = nullptr;
  QListWidget* lines_ = nullptr;
};

// "View Registers": the register panel, modal.
void ShowRegisterWindow(Emulator& emu, QWidget* parent);
// "View Memory": a memory view in a window of its own, modeless.
void ShowMemoryWindow(Emulator& emu, QWidget* parent);

// Opens the debugger window modally (F5, or after a breakpoint's stop) and lets the machine go
// on afterwards: a stop is cleared, so the instruction at PC runs.
void OpenDebugger(Emulator& emu, QWidget* parent);

}  // namespace orvo::ui
