#include "ui/debugger/debugger_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "debugger/disassembler.h"
#include "debugger/typed_number.h"
#include "shell/debugger_commands.h"
#include "shell/emulator.h"
#include "shell/window_commands.h"
#include "sound/sound_output.h"
#include "ui/main_window.h"
#include "ui/tools/calculator_window.h"
#include "ui/window_placement.h"
#include "video/ula.h"

namespace orvo::ui {

namespace {

// The register rows of the editable table: name, digits shown, how to reach the value.
struct RegisterRow {
  const char* name;
  int digits;
};
constexpr RegisterRow kRegisterRows[] = {{"PC", 4},  {"SP", 4},  {"AF", 4}, {"BC", 4},  {"DE", 4},
                                         {"HL", 4},  {"IX", 4},  {"IY", 4}, {"AF'", 4}, {"BC'", 4},
                                         {"DE'", 4}, {"HL'", 4}, {"IR", 4}, {"IM", 1}};
constexpr int kRegisterCount = static_cast<int>(std::size(kRegisterRows));
constexpr const char* kFlagNames[8] = {"S", "Z", "5", "H", "3", "P/V", "N", "C"};

uint16_t RegisterValue(const CpuState& c, int row) {
  switch (row) {
    case 0: return c.PC;
    case 1: return c.SP;
    case 2: return c.AF.w;
    case 3: return c.BC.w;
    case 4: return c.DE.w;
    case 5: return c.HL.w;
    case 6: return c.IX.w;
    case 7: return c.IY.w;
    case 8: return c.AF_.w;
    case 9: return c.BC_.w;
    case 10: return c.DE_.w;
    case 11: return c.HL_.w;
    case 12: return static_cast<uint16_t>(c.IR.b.h << 8 | (c.IR.b.l & 0x7F) | (c.R7 & 0x80));
    default: return c.IM;
  }
}

void SetRegister(CpuState& c, int row, uint16_t v) {
  switch (row) {
    case 0: c.PC = v; break;
    case 1: c.SP = v; break;
    case 2: c.AF.w = v; break;
    case 3: c.BC.w = v; break;
    case 4: c.DE.w = v; break;
    case 5: c.HL.w = v; break;
    case 6: c.IX.w = v; break;
    case 7: c.IY.w = v; break;
    case 8: c.AF_.w = v; break;
    case 9: c.BC_.w = v; break;
    case 10: c.DE_.w = v; break;
    case 11: c.HL_.w = v; break;
    case 12:
      c.IR.w = v;
      c.R7 = static_cast<uint8_t>(v & 0x80);
      break;
    default: c.IM = static_cast<uint8_t>(v > 2 ? 2 : v); break;
  }
}

QFont FixedFont() {
  return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// A field typed in hexadecimal, with or without its "#".
std::optional<uint32_t> ReadHex(const QString& text) {
  std::string s = "#";
  s += text.trimmed().toStdString();
  if (s.size() > 1 && (s[1] == '#' || s[1] == '$')) s.erase(0, 1);
  return ParseHashHexOrDecimal(s);
}

QString NumberText(uint32_t value, int hexDigits, int base) {
  if (base == 10) return QString::number(value);
  return QString::asprintf("%0*X", hexDigits, value);
}

// In hexadecimal mode a bare number is hexadecimal, as the views show it.
bool ReadTypedNumber(const QString& text, int base, uint32_t* value) {
  const auto v = base == 16 ? ReadHex(text) : ParseHashHexOrDecimal(text.toStdString());
  if (!v) return false;
  *value = *v;
  return true;
}

QString Format(const char* format, unsigned value) {
  return QString::asprintf(format, value);
}

}  // namespace

// ---- the register panel and the memory view ----

QString RegisterPanelText(const Emulator& emu, bool lastPc) {
  const MachineState& m = emu.m;
  const CpuState& c = m.cpu;
  QStringList lines;
  lines << Format("PC  %04X", c.PC) << Format("SP  %04X", c.SP)
        << QString::asprintf("AF  %02X%02X", c.AF.b.h, c.AF.b.l) << Format("BC  %04X", c.BC.w)
        << Format("DE  %04X", c.DE.w) << Format("HL  %04X", c.HL.w) << Format("IX  %04X", c.IX.w)
        << Format("IY  %04X", c.IY.w) << QString::asprintf("AF' %02X%02X", c.AF_.b.h, c.AF_.b.l)
        << Format("BC' %04X", c.BC_.w) << Format("DE' %04X", c.DE_.w) << Format("HL' %04X", c.HL_.w)
        << Format("IR  %04X", RegisterValue(c, 12)) << Format("IM %d", c.IM)
        << (c.IFF1 ? " INTERRUPTS ON" : " INTERRUPTS OFF") << Format(" TStates: %d", m.FrameTState)
        << Format("MEMPTR %04X", c.MEMPTR);
  if (lastPc) lines << Format("LAST PC: %04X", c.LastFetchPC);
  return lines.join('\n');
}

MemoryView::MemoryView(Emulator& emu, QWidget* parent) : QWidget(parent), emu_(emu) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  addressEdit_ = new QLineEdit(this);
  addressEdit_->setObjectName("memoryAddress");
  addressEdit_->setPlaceholderText("Address");
  connect(addressEdit_, &QLineEdit::returnPressed, this, [this] {
    uint32_t a;
    if (ReadTypedNumber(addressEdit_->text(), base_, &a) && a <= 0xFFFF) {
      SetAddress(static_cast<uint16_t>(a));
    } else {
      emu_.ShowMessage(CaptionId::Debug, kMsgDebugBadNumber);
    }
  });
  layout->addWidget(addressEdit_);
  table_ = new QTableWidget(16, 8, this);
  table_->setObjectName("memory");
  table_->setFont(FixedFont());
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // Each row holds eight bytes: the columns are their offsets from the row's address.
  table_->setHorizontalHeaderLabels({"+0", "+1", "+2", "+3", "+4", "+5", "+6", "+7"});
  connect(table_, &QTableWidget::cellChanged, this,
          [this](int row, int column) { Edited(row, column); });
  layout->addWidget(table_);
  Refresh();
}

void MemoryView::SetBase(int base) {
  base_ = base;
  Refresh();
}

void MemoryView::SetAddress(uint16_t address) {
  address_ = address;
  Refresh();
}

void MemoryView::Refresh() {
  const MachineState& m = emu_.m;
  refreshing_ = true;
  for (int row = 0; row < 16; ++row) {
    const auto rowAddress = static_cast<uint16_t>(address_ + row * 8);
    table_->setVerticalHeaderItem(row, new QTableWidgetItem(NumberText(rowAddress, 4, base_)));
    for (int col = 0; col < 8; ++col) {
      const uint8_t v = m.Peek(static_cast<uint16_t>(rowAddress + col));
      table_->setItem(row, col, new QTableWidgetItem(NumberText(v, 2, base_)));
    }
  }
  refreshing_ = false;
}

void MemoryView::Edited(int row, int column) {
  if (refreshing_) return;
  MachineState& m = emu_.m;
  uint32_t v;
  const auto a = static_cast<uint16_t>(address_ + row * 8 + column);
  if (!ReadTypedNumber(table_->item(row, column)->text(), base_, &v) || v > 0xFF) {
    emu_.ShowMessage(CaptionId::Debug, kMsgDebugBadNumber);
  } else if (m.WritePages[a >> 13] == m.WriteSink.data()) {
    // A protected ROM (or nothing) is mapped here: the write would be lost.
    emu_.ShowMessage(CaptionId::Debug, kMsgDebugRomProtected);
  } else {
    // The store a CPU write makes, without its timing or any device seeing it.
    m.WritePages[a >> 13][a & 0x1FFF] = static_cast<uint8_t>(v);
  }
  Refresh();
}

// ---- the debugger window ----

DebuggerWindow::DebuggerWindow(Emulator& emu, QWidget* parent) : QDialog(parent), emu_(emu) {
  setObjectName("ORVO_DEBUGGER");
  setWindowTitle("Debugger");
  setModal(true);
  KeepPlacement(this, emu_, Placement::Debugger);
  auto* top = new QVBoxLayout(this);
  BuildMenus();

  auto* columns = new QHBoxLayout;
  top->addLayout(columns);

  // Registers: the panel of texts, the editable table and the flags.
  auto* left = new QVBoxLayout;
  panel_ = new QLabel(this);
  panel_->setFont(FixedFont());
  left->addWidget(panel_);
  registers_ = new QTableWidget(kRegisterCount, 1, this);
  registers_->setObjectName("registers");
  registers_->horizontalHeader()->hide();
  registers_->setFont(FixedFont());
  for (int i = 0; i < kRegisterCount; ++i) {
    registers_->setVerticalHeaderItem(i, new QTableWidgetItem(kRegisterRows[i].name));
  }
  registers_->setMaximumWidth(140);
  connect(registers_, &QTableWidget::cellChanged, this,
          [this](int row, int) { RegisterEdited(row); });
  left->addWidget(registers_);
  auto* flagRow = new QHBoxLayout;
  for (int i = 0; i < 8; ++i) {
    flags_[i] = new QCheckBox(kFlagNames[i], this);
    connect(flags_[i], &QCheckBox::toggled, this, [this] { FlagToggled(); });
    flagRow->addWidget(flags_[i]);
  }
  left->addLayout(flagRow);
  columns->addLayout(left);

  // Disassembly around PC.
  disassembly_ = new QListWidget(this);
  disassembly_->setObjectName("disassembly");
  disassembly_->setFont(FixedFont());
  disassembly_->setMinimumWidth(300);
  columns->addWidget(disassembly_, 1);

  // Memory by address, and the stack.
  auto* right = new QVBoxLayout;
  memory_ = new MemoryView(emu_, this);
  right->addWidget(memory_);
  stack_ = new QListWidget(this);
  stack_->setFont(FixedFont());
  stack_->setMaximumHeight(140);
  right->addWidget(new QLabel("Stack", this));
  right->addWidget(stack_);
  columns->addLayout(right);

  Refresh();
}

void DebuggerWindow::OpenCalculator() {
  auto* main = qobject_cast<MainWindow*>(parentWidget());
  if (main == nullptr) return;
  // Above this modal window the calculator is modal too; one left open beside the main window
  // gives way (its state is kept for the next one).
  if (auto* open = main->findChild<CalculatorWindow*>(QString(), Qt::FindDirectChildrenOnly))
    open->close();
  CalculatorWindow calculator(*main);
  calculator.setWindowModality(Qt::ApplicationModal);
  calculator.exec();
}

void DebuggerWindow::BuildMenus() {
  auto* bar = new QMenuBar(this);
  layout()->setMenuBar(bar);
  QMenu* run = bar->addMenu("Run");
  auto add = [this](QMenu* menu, const char* text, const char* key, auto slot) {
    QAction* a = menu->addAction(text);
    if (key) a->setShortcut(QKeySequence(QString::fromLatin1(key)));
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, slot);
    addAction(a);  // the keys work with the menu bar closed
    return a;
  };
  add(run, "Single Step", "F9", [this] { SingleStep(); });
  add(run, "Step Over", "F11", [this] { StepOver(); });
  add(run, "Step Out", "F7", [this] { StepOut(); });
  runAction_ = add(run, "Run", nullptr, [this] { ToggleRun(); });
  runAction_->setCheckable(true);
  QMenu* until = run->addMenu("Run Until");
  add(until, "End Of Frame", "F8", [this] { RunUntilEndOfFrame(); });
  add(until, "Start Of Frame", nullptr, [this] { RunUntilStartOfFrame(); });
  add(until, "Interrupt", nullptr, [this] { RunUntilInterrupt(); });
  add(until, "Specified T-State", nullptr, [this] {
    bool ok = false;
    const int t = QInputDialog::getInt(this, "DEBUG_RUN_UNTIL_TSTATE", "T-state", 0, 0,
                                       static_cast<int>(emu_.m.FrameLength) - 1, 1, &ok);
    if (ok) RunUntilTState(static_cast<uint32_t>(t));
  });
  until->addSeparator();
  static constexpr struct {
    const char* text;
    uint8_t flag;
  } kOpcodes[] = {{"DI", kUntilDI},      {"EI", kUntilEI},    {"HALT", kUntilHALT},
                  {"IM 1", kUntilIM1},   {"IM 2", kUntilIM2}, {"LD A,R", kUntilLdAR},
                  {"LD R,A", kUntilLdRA}};
  for (const auto& op : kOpcodes) {
    const uint8_t flag = op.flag;
    add(until, op.text, nullptr, [this, flag] { RunUntilOpcode(flag); });
  }
  until->addSeparator();
  for (const bool write : {false, true}) {
    add(until, write ? "Port Write Event" : "Port Read Event", nullptr, [this, write] {
      bool ok = false;
      const QString text = QInputDialog::getText(this, "ORVO_PORT", "Port (decimal)",
                                                 QLineEdit::Normal, QString(), &ok);
      if (!ok) return;
      const auto port = ParseHashHexOrDecimal(text.toStdString());
      if (!port || *port > 0xFFFF) {
        emu_.ShowMessage(CaptionId::Debug, kMsgDebugBadNumber);
        return;
      }
      RunUntilPort(write, static_cast<int32_t>(*port));
    });
  }
  QMenu* tools = bar->addMenu("Tools");
  add(tools, "Breakpoints", nullptr, [this] {
    emu_.m.debug.registerWindowMode = 0;  // a breakpoint's stop comes back here
    BreakpointDialog dialog(emu_, this);
    dialog.exec();
    Refresh();
  });
  add(tools, "View Disassembly", nullptr, [this] {
    DisassemblyDialog dialog(emu_, this);
    dialog.exec();
  });
  add(tools, "Calculator", nullptr, [this] { OpenCalculator(); });
  QMenu* format = bar->addMenu("Address Format");
  add(format, "Hex.", nullptr, [this] { SetBase(16); });
  add(format, "Dec.", nullptr, [this] { SetBase(10); });
}

QString DebuggerWindow::Number(uint32_t value, int hexDigits) const {
  return NumberText(value, hexDigits, base_);
}

bool DebuggerWindow::ReadNumber(const QString& text, uint32_t* value) const {
  return ReadTypedNumber(text, base_, value);
}

void DebuggerWindow::SetBase(int base) {
  base_ = base;
  memory_->SetBase(base);
  Refresh();
}

void DebuggerWindow::Refresh() {
  refreshing_ = true;
  RefreshRegisters();
  RefreshDisassembly();
  memory_->Refresh();
  refreshing_ = false;
}

void DebuggerWindow::RefreshRegisters() {
  const MachineState& m = emu_.m;
  const CpuState& c = m.cpu;
  panel_->setText(RegisterPanelText(emu_, true));
  for (int i = 0; i < kRegisterCount; ++i) {
    registers_->setItem(i, 0,
                        new QTableWidgetItem(Number(RegisterValue(c, i), kRegisterRows[i].digits)));
  }
  for (int i = 0; i < 8; ++i) {
    const QSignalBlocker block(flags_[i]);
    flags_[i]->setChecked((c.AF.b.l >> (7 - i)) & 1);
  }
  stack_->clear();
  for (int i = 0; i < 8; ++i) {
    const auto a = static_cast<uint16_t>(c.SP + 2 * i);
    const uint16_t w = static_cast<uint16_t>(m.Peek(a) | m.Peek(static_cast<uint16_t>(a + 1)) << 8);
    stack_->addItem(Number(a, 4) + "  " + Number(w, 4));
  }
}

void DebuggerWindow::RefreshDisassembly() {
  const MachineState& m = emu_.m;
  DisassemblyOptions options;
  options.base = base_;
  options.romLabels = emu_.settings.DisRom != 0;
  options.sysvarLabels = emu_.settings.DisSave != 0;
  options.userLabels = &m.debug.labels;
  disassembly_->clear();
  uint16_t address = m.cpu.PC;
  for (int i = 0; i < kDisassemblyLines; ++i) {
    const DisassembledLine line = DisassembleAt(PeekMachine, &m, address, options);
    auto* item = new QListWidgetItem(Number(address, 4) + "  " + QString::fromStdString(line.text));
    if (address == m.cpu.PC) {
      item->setBackground(Qt::blue);
      item->setForeground(Qt::white);
    } else {
      item->setBackground(Qt::white);
      item->setForeground(Qt::black);
    }
    disassembly_->addItem(item);
    address = static_cast<uint16_t>(address + line.length);
  }
}

void DebuggerWindow::RegisterEdited(int row) {
  if (refreshing_) return;
  uint32_t v;
  if (!ReadNumber(registers_->item(row, 0)->text(), &v) || v > 0xFFFF) {
    emu_.ShowMessage(CaptionId::Debug, kMsgDebugBadNumber);
  } else {
    SetRegister(emu_.m.cpu, row, static_cast<uint16_t>(v));
  }
  Refresh();
}

void DebuggerWindow::FlagToggled() {
  uint8_t f = 0;
  for (int i = 0; i < 8; ++i) {
    if (flags_[i]->isChecked()) f = static_cast<uint8_t>(f | 1 << (7 - i));
  }
  emu_.m.cpu.AF.b.l = f;
  Refresh();
}

void DebuggerWindow::ShowMachinePicture() {
  MachineState& m = emu_.m;
  // The main window shows what the beam has drawn so far.
  const uint32_t upTo = m.FrameTState < m.FrameLength ? m.FrameTState : m.FrameLength;
  RenderBorderUpTo(m, upTo);
  RenderDisplayUpTo(m, upTo);
  if (const uint32_t* pixels = ScreenPixels(m)) emu_.host.PresentFrame(pixels);
}

void DebuggerWindow::SingleStep() {
  DebugSingleStep(emu_);
  ShowMachinePicture();
  Refresh();
}

void DebuggerWindow::StepOver() {
  DebugStepOver(emu_);
  ShowMachinePicture();
  Refresh();
}

void DebuggerWindow::StepOut() {
  DebugStepOut(emu_);
  ShowMachinePicture();
  Refresh();
}

void DebuggerWindow::ToggleRun() {
  run_ = !run_;
  runAction_->setChecked(run_);
}

void DebuggerWindow::RunUntilEndOfFrame() {
  DebugRunUntil(emu_, RunUntilTarget::kEndOfFrame);
  Refresh();
}

void DebuggerWindow::RunUntilStartOfFrame() {
  DebugRunUntil(emu_, RunUntilTarget::kStartOfFrame);
  Refresh();
}

void DebuggerWindow::RunUntilInterrupt() {
  DebugRunUntil(emu_, RunUntilTarget::kInterrupt);
  Refresh();
}

void DebuggerWindow::RunUntilOpcode(uint8_t flag) {
  emu_.m.debug.armedOpcodes |= flag;
  DebugRunUntilEvent(emu_);
  ShowMachinePicture();
  Refresh();
}

void DebuggerWindow::RunUntilTState(uint32_t tstate) {
  ArmRunUntilTState(emu_.m, tstate);
  DebugRunUntilEvent(emu_);
  ShowMachinePicture();
  Refresh();
}

void DebuggerWindow::RunUntilPort(bool write, int32_t port) {
  (write ? emu_.m.debug.portWrite : emu_.m.debug.portRead) = port;
  DebugRunUntilEvent(emu_);
  ShowMachinePicture();
  Refresh();
}

// ---- breakpoints ----

BreakpointDialog::BreakpointDialog(Emulator& emu, QWidget* parent) : QDialog(parent), emu_(emu) {
  setObjectName("ORVO_BREAKPOINTS");
  setWindowTitle("Breakpoints");
  KeepPlacement(this, emu_, Placement::Breakpoints);
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setHeaderLabels({"Address", "Condition", "Active"});
  list_->setColumnWidth(0, 75);
  list_->setColumnWidth(1, 132);
  list_->setColumnWidth(2, 48);
  list_->setRootIsDecorated(false);
  layout->addWidget(list_);
  auto* buttons = new QHBoxLayout;
  for (const char* name : {"add", "delete", "update"}) {
    auto* b = new QPushButton(name, this);
    b->setObjectName(name);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, name] {
      if (name[0] == 'a') Edit(false);
      if (name[0] == 'u') Edit(true);
      if (name[0] == 'd') Delete();
    });
  }
  layout->addLayout(buttons);
  Fill();
}

void BreakpointDialog::Fill() {
  list_->clear();
  for (const Breakpoint& b : emu_.m.debug.breakpoints) {
    list_->addTopLevelItem(
        new QTreeWidgetItem({QString::asprintf("#%04X", b.address),
                             QString::fromStdString(b.condition), b.inactive ? "NO" : "YES"}));
  }
}

void BreakpointDialog::Edit(bool update) {
  const int index = list_->indexOfTopLevelItem(list_->currentItem());
  auto& table = emu_.m.debug.breakpoints;
  if (update && (index < 0 || table.empty())) return;
  QDialog d(this);
  d.setObjectName(update ? "DEBUG_BREAK_UPDATE" : "DEBUG_BREAK_ADD");
  d.setWindowTitle(update ? "Update Breakpoint" : "Add Breakpoint");
  auto* form = new QFormLayout(&d);
  auto* address = new QLineEdit(&d);
  auto* condition = new QLineEdit(&d);
  auto* active = new QComboBox(&d);
  active->addItems({"YES", "NO"});
  if (update) {
    const Breakpoint& b = table[static_cast<size_t>(index)];
    address->setText(QString::asprintf("#%04X", b.address));
    condition->setText(QString::fromStdString(b.condition));
    active->setCurrentIndex(b.inactive ? 1 : 0);
  }
  form->addRow("Address", address);
  form->addRow("Condition", condition);
  form->addRow("Active", active);
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  connect(ok, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  connect(ok, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  form->addRow(ok);
  if (d.exec() != QDialog::Accepted) return;
  const std::string a = address->text().toStdString();
  const std::string c = condition->text().toStdString();
  const bool on = active->currentIndex() == 0;
  if (update) {
    UpdateBreakpointChecked(emu_, static_cast<size_t>(index), a, c, on);
  } else {
    AddBreakpointChecked(emu_, a, c, on);
  }
  Fill();
}

void BreakpointDialog::Delete() {
  const int index = list_->indexOfTopLevelItem(list_->currentItem());
  if (index >= 0) DeleteBreakpoint(emu_.m, static_cast<size_t>(index));
  Fill();
}

// ---- View Disassembly ----

DisassemblyDialog::DisassemblyDialog(Emulator& emu, QWidget* parent) : QDialog(parent), emu_(emu) {
  setObjectName("DEBUG_DISASM");
  setWindowTitle("Disassembly");
  KeepPlacement(this, emu_, Placement::ViewDisassembly);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  address_ = new QLineEdit(QString::asprintf("%04X", emu_.m.cpu.PC), this);
  row->addWidget(new QLabel("Address (hex)", this));
  row->addWidget(address_);
  auto* toFile = new QPushButton("Disassemble to File", this);
  row->addWidget(toFile);
  layout->addLayout(row);
  lines_ = new QListWidget(this);
  lines_->setFont(FixedFont());
  lines_->setMinimumSize(420, 500);
  layout->addWidget(lines_);
  connect(address_, &QLineEdit::returnPressed, this, [this] { Show(); });
  connect(toFile, &QPushButton::clicked, this, [this] { ToFile(); });
  Show();
}

void DisassemblyDialog::Show() {
  const auto a = ReadHex(address_->text());
  if (!a || *a > 0xFFFF) {
    emu_.ShowMessage(CaptionId::Debug, kMsgDebugBadNumber);
    return;
  }
  DisassemblyOptions options;
  options.romLabels = emu_.settings.DisRom != 0;
  options.sysvarLabels = emu_.settings.DisSave != 0;
  options.userLabels = &emu_.m.debug.labels;
  lines_->clear();
  auto address = static_cast<uint16_t>(*a);
  for (int i = 0; i < DebuggerWindow::kDisassemblyLines; ++i) {
    const DisassembledLine line = DisassembleAt(PeekMachine, &emu_.m, address, options);
    lines_->addItem(QString::asprintf("%04X  ", address) + QString::fromStdString(line.text));
    address = static_cast<uint16_t>(address + line.length);
  }
}

void DisassemblyDialog::ToFile() {
  QDialog d(this);
  d.setObjectName("ORVO_DISFILE");
  d.setWindowTitle("Disassemble to File");
  auto* form = new QFormLayout(&d);
  auto* from = new QLineEdit("0000", &d);
  auto* to = new QLineEdit("3FFF", &d);
  auto* rom = new QCheckBox("ROM labels", &d);
  auto* vars = new QCheckBox("System variable labels", &d);
  form->addRow("Start (hex)", from);
  form->addRow("End (hex)", to);
  form->addRow(rom);
  form->addRow(vars);
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
  connect(ok, &QDialogButtonBox::accepted, &d, &QDialog::accept);
  connect(ok, &QDialogButtonBox::rejected, &d, &QDialog::reject);
  form->addRow(ok);
  if (d.exec() != QDialog::Accepted) return;
  const auto start = ReadHex(from->text());
  const auto end = ReadHex(to->text());
  if (!start || !end || *start > 0xFFFF || *end > 0xFFFF || *end < *start) {
    emu_.ShowMessage(CaptionId::Debug, kMsgDebugBadNumber);
    return;
  }
  const QString path = QFileDialog::getSaveFileName(this, "Disassemble to File", "disasm.txt");
  if (path.isEmpty()) return;
  DisassembleToFile(emu_, path.toStdString(), static_cast<uint16_t>(*start),
                    static_cast<uint16_t>(*end), rom->isChecked(), vars->isChecked());
}

// ---- opening ----

void ShowRegisterWindow(Emulator& emu, QWidget* parent) {
  QDialog d(parent);
  d.setObjectName("DEBUG_VIEWREGS");
  d.setWindowTitle("Registers");
  KeepPlacement(&d, emu, Placement::ViewRegisters);
  auto* layout = new QVBoxLayout(&d);
  auto* panel = new QLabel(RegisterPanelText(emu, false), &d);
  panel->setFont(FixedFont());
  layout->addWidget(panel);
  // The breakpoint list opened from here makes a breakpoint's stop open this window again.
  auto* breakpoints = new QPushButton("Breakpoints", &d);
  breakpoints->setObjectName("breakpoints");
  breakpoints->setAutoDefault(false);
  QObject::connect(breakpoints, &QPushButton::clicked, &d, [&emu, &d] {
    emu.m.debug.registerWindowMode = 1;
    BreakpointDialog list(emu, &d);
    list.exec();
  });
  layout->addWidget(breakpoints);
  d.exec();
}

void ShowMemoryWindow(Emulator& emu, QWidget* parent) {
  auto* d = new QDialog(parent);
  d->setObjectName("DEBUG_VIEWMEMORY");
  d->setWindowTitle("Memory");
  KeepPlacement(d, emu, Placement::ViewMemory);
  d->setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(d);
  layout->addWidget(new MemoryView(emu, d));
  // The machine stands still while the window is open (it is modeless: the menus still work).
  MachineState& m = emu.m;
  const uint32_t wasPaused = m.Paused;
  m.Paused = 1;
  PauseSound(m, 1);
  QObject::connect(d, &QDialog::finished, [&m, wasPaused] {
    m.Paused = wasPaused;
    if (SoundShouldPlay(m)) PauseSound(m, 0);
  });
  d->show();
}

void OpenDebugger(Emulator& emu, QWidget* parent) {
  MachineState& m = emu.m;
  const uint32_t wasPaused = m.Paused;
  m.Paused = 1;
  PauseSound(m, 1);
  bool run = false;
  if (m.debug.stop == DebugStop::kBreakpoint && m.debug.registerWindowMode) {
    // The breakpoints were set from the register window: the stop shows the registers, and the
    // machine goes on when that window closes.
    ShowRegisterWindow(emu, parent);
    run = true;
  } else {
    DebuggerWindow window(emu, parent);
    window.exec();
    run = window.RunRequested();
  }
  DisarmRunUntilEvents(m);
  ResumeFromStop(m);
  if (const uint32_t* pixels = ScreenPixels(m)) emu.host.PresentFrame(pixels);
  m.Paused = run ? 0 : wasPaused;
  if (SoundShouldPlay(m)) PauseSound(m, 0);
}

}  // namespace orvo::ui
