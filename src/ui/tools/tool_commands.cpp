#include "ui/tools/tool_commands.h"

#include <QFileDialog>
#include <QInputDialog>

#include "host/screen_save.h"
#include "shell/binary_file.h"
#include "shell/emulator.h"
#include "tools/parse_number.h"
#include "ui/tools/calculator_window.h"
#include "ui/tools/keyboard_helper_window.h"
#include "ui/tools/memory_map_window.h"
#include "ui/tools/poke_finder_window.h"
#include "ui/tools/poke_memory_window.h"
#include "ui/tools/snapshot_analyser_window.h"
#include "ui/tools/sprite_search_window.h"
#include "ui/tools/ulaplus_editor_window.h"

namespace orvo::ui {

void PokeMemoryCommand(MainWindow& w) {
  OpenToolWindow<PokeMemoryWindow>(w);
}
void PokeFinderCommand(MainWindow& w) {
  OpenToolWindow<PokeFinderWindow>(w);
}
void SpriteSearchCommand(MainWindow& w) {
  OpenToolWindow<SpriteSearchWindow>(w);
}
void CalculatorCommand(MainWindow& w) {
  OpenToolWindow<CalculatorWindow>(w);
}
void UlaPlusEditorCommand(MainWindow& w) {
  OpenToolWindow<UlaPlusEditorWindow>(w);
}
void KeyboardHelperCommand(MainWindow& w) {
  OpenToolWindow<KeyboardHelperWindow>(w);
}
void MemoryMapCommand(MainWindow& w) {
  OpenToolWindow<MemoryMapWindow>(w);
}
void SnapshotAnalyserCommand(MainWindow& w) {
  // Only a file opened since start-up has anything to analyse.
  if (w.Emu().files.AnalyserCopy.empty()) return;
  OpenToolWindow<SnapshotAnalyserWindow>(w);
}

namespace {

// Asks for a number through ParseNumber; false when cancelled or after `message` for a bad one.
bool AskNumber(MainWindow& w, const QString& title, const QString& label, uint32_t limit,
               uint32_t& out) {
  bool ok = false;
  const QString text = QInputDialog::getText(&w, title, label, QLineEdit::Normal, QString(), &ok);
  if (!ok) return false;
  out = ParseNumber(text.trimmed().toStdString());
  if (out > limit) {
    w.Emu().ShowMessage(CaptionId::PokeMemory, kMsgPokeAddress);
    return false;
  }
  return true;
}

}  // namespace

void LoadBinaryCommand(MainWindow& w) {
  ModalScope paused(&w);
  const QString path = QFileDialog::getOpenFileName(&w, QStringLiteral("Load Binary File"));
  if (path.isEmpty()) return;
  uint32_t address = 0;
  if (!AskNumber(w, QStringLiteral("Load Binary File"),
                 QStringLiteral("Address (decimal, or #hex)"), 0xFFFF, address))
    return;
  if (const MessageId bad = LoadBinaryFile(w.Emu().m, path.toStdString(), address); bad != kMsgNone)
    w.Emu().ShowMessage(CaptionId::File, bad);
}

void SaveBinaryCommand(MainWindow& w) {
  ModalScope paused(&w);
  uint32_t address = 0, length = 0;
  if (!AskNumber(w, QStringLiteral("Save Binary File"),
                 QStringLiteral("Address (decimal, or #hex)"), 0xFFFF, address) ||
      !AskNumber(w, QStringLiteral("Save Binary File"), QStringLiteral("Length"), 0x10000, length))
    return;
  const QString path = QFileDialog::getSaveFileName(&w, QStringLiteral("Save Binary File"));
  if (path.isEmpty()) return;
  if (const MessageId bad = SaveBinaryFile(w.Emu().m, path.toStdString(), address, length);
      bad != kMsgNone)
    w.Emu().ShowMessage(CaptionId::File, bad);
}

void SaveScreenCommand(MainWindow& w) {
  ModalScope paused(&w);
  const QString withBorder = QStringLiteral("PNG picture with border (*.png)");
  const QString displayOnly = QStringLiteral("PNG picture, display only (*.png)");
  const QString scr = QStringLiteral("Screen file (*.scr)");
  QString chosen;
  QString path =
      QFileDialog::getSaveFileName(&w, QStringLiteral("Save Current Screen"), QString(),
                                   withBorder + ";;" + displayOnly + ";;" + scr, &chosen);
  if (path.isEmpty()) return;
  const bool wantScr = chosen == scr;
  if (!path.endsWith(wantScr ? QStringLiteral(".scr") : QStringLiteral(".png"),
                     Qt::CaseInsensitive))
    path += wantScr ? QStringLiteral(".scr") : QStringLiteral(".png");
  std::string error;
  if (!SaveCurrentScreen(w.Emu().m, path.toStdString(), chosen != displayOnly, &error))
    w.Emu().ShowMessage(CaptionId::File, kMsgCannotSaveFile, error);
}

}  // namespace orvo::ui
