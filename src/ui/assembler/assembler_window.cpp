#include "ui/assembler/assembler_window.h"

#include <Qsci/qscilexercustom.h>
#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <filesystem>

#include "machine/machine_state.h"
#include "shell/assembler_output.h"
#include "shell/emulator.h"
#include "shell/snapshot_save.h"

namespace orvo::ui {

namespace {

// Z80 source colouring: comments, strings, numbers, mnemonics, registers, directives and labels.
class Z80Lexer final : public QsciLexerCustom {
 public:
  enum Style { kDefault, kComment, kString, kNumber, kMnemonic, kRegister, kDirective, kLabel };

  explicit Z80Lexer(QObject* parent) : QsciLexerCustom(parent) {
    QFont font("Monospace");
    font.setStyleHint(QFont::TypeWriter);
    setDefaultFont(font);
    for (int s = kDefault; s <= kLabel; ++s) setFont(font, s);
    setColor(QColor(0x60, 0x80, 0x60), kComment);
    setColor(QColor(0xA0, 0x40, 0x00), kString);
    setColor(QColor(0x00, 0x60, 0xA0), kNumber);
    setColor(QColor(0x00, 0x00, 0xB0), kMnemonic);
    setColor(QColor(0x80, 0x00, 0x80), kRegister);
    setColor(QColor(0xA0, 0x00, 0x40), kDirective);
    setColor(QColor(0x00, 0x00, 0x00), kLabel);
    QFont bold = font;
    bold.setBold(true);
    setFont(bold, kLabel);
  }

  const char* language() const override { return "Z80"; }
  QString description(int style) const override {
    static const char* kNames[] = {"Default",  "Comment",  "String",    "Number",
                                   "Mnemonic", "Register", "Directive", "Label"};
    return style >= kDefault && style <= kLabel ? kNames[style] : QString();
  }

  void styleText(int start, int end) override {
    QsciScintilla* e = editor();
    if (!e) return;
    // Whole lines: a token never straddles the range's edges.
    const long firstLine = e->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start);
    start = static_cast<int>(e->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, firstLine));
    const QByteArray all = e->text().toUtf8();
    end = std::min<int>(end, static_cast<int>(all.size()));
    if (start >= end) return;
    const QByteArray text = all.mid(start, end - start);
    startStyling(start);
    int i = 0;
    const int n = static_cast<int>(text.size());
    bool lineStart = true;
    while (i < n) {
      const char c = text[i];
      int len = 1, style = kDefault;
      if (c == '\n') {
        lineStart = true;
        setStyling(1, kDefault);
        ++i;
        continue;
      }
      if (c == ';') {
        while (i + len < n && text[i + len] != '\n') ++len;
        style = kComment;
      } else if (c == '"' || c == '\'') {
        while (i + len < n && text[i + len] != c && text[i + len] != '\n') ++len;
        if (i + len < n && text[i + len] == c) ++len;
        style = kString;
      } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                 ((c == '#' || c == '$' || c == '%' || c == '&') && i + 1 < n &&
                  std::isxdigit(static_cast<unsigned char>(text[i + 1])))) {
        while (i + len < n && std::isalnum(static_cast<unsigned char>(text[i + len]))) ++len;
        style = kNumber;
      } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '@') {
        while (i + len < n &&
               (std::isalnum(static_cast<unsigned char>(text[i + len])) || text[i + len] == '_' ||
                text[i + len] == '.' || text[i + len] == '@' || text[i + len] == '?'))
          ++len;
        if (i + len < n && text[i + len] == '\'') ++len;  // AF'
        const std::string word = text.mid(i, len).toStdString();
        switch (ClassifyAsmWord(word)) {
          case AsmWord::kMnemonic: style = kMnemonic; break;
          case AsmWord::kRegister: style = kRegister; break;
          case AsmWord::kDirective: style = kDirective; break;
          default: style = (lineStart || (i + len < n && text[i + len] == ':')) ? kLabel : kDefault;
        }
      }
      lineStart = false;
      setStyling(len, style);
      i += len;
    }
  }
};

QsciScintilla* MakeEditor(QWidget* parent) {
  auto* e = new QsciScintilla(parent);
  e->setLexer(new Z80Lexer(e));
  e->setUtf8(true);
  e->setMarginType(0, QsciScintilla::NumberMargin);
  e->setMarginWidth(0, "00000");
  e->setMarginLineNumbers(0, true);
  e->setMarginWidth(1, 14);
  e->setMarginSensitivity(1, false);
  e->markerDefine(QsciScintilla::Circle, AssemblerWindow::kErrorMarker);
  e->setMarkerBackgroundColor(QColor(0xE0, 0x20, 0x20), AssemblerWindow::kErrorMarker);
  e->markerDefine(QsciScintilla::Circle, AssemblerWindow::kWarningMarker);
  e->setMarkerBackgroundColor(QColor(0xE0, 0xB0, 0x20), AssemblerWindow::kWarningMarker);
  e->setMarginMarkerMask(
      1, (1 << AssemblerWindow::kErrorMarker) | (1 << AssemblerWindow::kWarningMarker));
  e->setAutoIndent(true);
  e->setTabWidth(8);
  e->setIndentationsUseTabs(false);
  e->setCaretLineVisible(true);
  e->setCaretLineBackgroundColor(QColor(0xF4, 0xF4, 0xFF));
  e->setBraceMatching(QsciScintilla::SloppyBraceMatch);
  return e;
}

QString RecentStorePath() {
  const std::string path = RecentFiles::DefaultStorePath();
  return path.empty() ? QString() : QString::fromStdString(path + "-sources");
}

}  // namespace

AssemblerWindow::AssemblerWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("Z80 Assembler"), std::nullopt, false),
      recent_(RecentStorePath().toStdString()) {
  recent_.Load();
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setTabsClosable(true);
  tabs_->setMovable(true);
  connect(tabs_, &QTabWidget::tabCloseRequested, this, [this](int i) { CloseTab(i); });

  diagnostics_ = new QListWidget(this);
  connect(diagnostics_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { GoToDiagnostic(diagnostics_->row(item)); });
  connect(diagnostics_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { GoToDiagnostic(diagnostics_->row(item)); });
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(tabs_);
  split->addWidget(diagnostics_);
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 1);

  auto* row = new QHBoxLayout;
  auto* assemble = new QPushButton(QStringLiteral("Assemble"), this);
  auto* run = new QPushButton(QStringLiteral("Assemble and Run"), this);
  bank_ = new QComboBox(this);
  bank_->addItem(QStringLiteral("#C000: paged bank"), kAsmPagedMemory);
  for (int b = 0; b < 8; ++b) bank_->addItem(QStringLiteral("#C000: bank %1").arg(b), b);
  bank_->setToolTip(QStringLiteral("Where code at #C000-#FFFF goes on a 128K model"));
  status_ = new QLabel(this);
  row->addWidget(assemble);
  row->addWidget(run);
  row->addWidget(bank_);
  row->addWidget(status_, 1);
  connect(assemble, &QPushButton::clicked, this, [this] { Assemble(); });
  connect(run, &QPushButton::clicked, this, [this] { AssembleAndRun(); });

  layout->addWidget(split, 1);
  layout->addLayout(row);
  BuildMenus();
  NewSource();
  resize(820, 640);
}

void AssemblerWindow::BuildMenus() {
  auto* bar = new QMenuBar(this);
  layout()->setMenuBar(bar);
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&New"), QKeySequence::New, this, [this] { NewSource(); });
  file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Source"), QString(),
        QStringLiteral("Z80 sources (*.asm *.z80s *.s *.inc);;All files (*)"));
    if (!path.isEmpty()) OpenSource(path);
  });
  recentMenu_ = file->addMenu(QStringLiteral("Recent &Files"));
  RefreshRecentMenu();
  file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] { SaveSource(); });
  file->addAction(QStringLiteral("Save &As..."), QKeySequence::SaveAs, this,
                  [this] { SaveSourceAs(); });
  file->addAction(QStringLiteral("&Close Tab"), QKeySequence::Close, this,
                  [this] { CloseTab(tabs_->currentIndex()); });

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  edit->addAction(QStringLiteral("&Undo"), QKeySequence::Undo, this, [this] {
    if (auto* e = CurrentEditor()) e->undo();
  });
  edit->addAction(QStringLiteral("&Redo"), QKeySequence::Redo, this, [this] {
    if (auto* e = CurrentEditor()) e->redo();
  });
  edit->addSeparator();
  edit->addAction(QStringLiteral("&Find and Replace..."), QKeySequence::Find, this,
                  [this] { ShowFindReplace(); });
  edit->addAction(QStringLiteral("Find &Next"), QKeySequence::FindNext, this,
                  [this] { FindNext(); });

  QMenu* build = bar->addMenu(QStringLiteral("&Build"));
  build->addAction(QStringLiteral("&Assemble"), QKeySequence(Qt::Key_F9), this,
                   [this] { Assemble(); });
  build->addAction(QStringLiteral("Assemble and &Run"), QKeySequence(Qt::CTRL | Qt::Key_F9), this,
                   [this] { AssembleAndRun(); });
  build->addAction(QStringLiteral("Save &Output..."), this, [this] {
    if (!Assemble()) return;
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Output"), QString(),
        QStringLiteral("Bytes (*.bin);;Tape with a BASIC loader (*.tap);;Z80 snapshot (*.z80);;"
                       "SZX snapshot (*.szx)"));
    if (!path.isEmpty()) SaveOutput(path);
  });
  // The shortcuts work wherever the focus is in the window, not only from the open menu.
  for (QMenu* menu : {file, edit, build}) addActions(menu->actions());
}

void AssemblerWindow::RefreshRecentMenu() {
  recentMenu_->clear();
  for (const std::string& p : recent_.Paths()) {
    const QString path = QString::fromStdString(p);
    recentMenu_->addAction(path, this, [this, path] { OpenSource(path); });
  }
  recentMenu_->setEnabled(!recent_.Paths().empty());
}

QsciScintilla* AssemblerWindow::Editor(int index) const {
  return qobject_cast<QsciScintilla*>(tabs_->widget(index));
}

QsciScintilla* AssemblerWindow::CurrentEditor() const {
  return Editor(tabs_->currentIndex());
}

QString AssemblerWindow::PathOf(int index) const {
  QWidget* w = tabs_->widget(index);
  return w ? w->property("path").toString() : QString();
}

int AssemblerWindow::TabOf(const QString& path) const {
  if (path.isEmpty()) return -1;
  const QString wanted = QFileInfo(path).absoluteFilePath();
  for (int i = 0; i < tabs_->count(); ++i) {
    const QString p = PathOf(i);
    if (!p.isEmpty() && QFileInfo(p).absoluteFilePath() == wanted) return i;
  }
  return -1;
}

void AssemblerWindow::UpdateTitle(int index) {
  QsciScintilla* e = Editor(index);
  if (!e) return;
  const QString path = PathOf(index);
  QString title = path.isEmpty() ? e->property("untitled").toString() : QFileInfo(path).fileName();
  if (e->isModified()) title += QStringLiteral(" *");
  tabs_->setTabText(index, title);
  tabs_->setTabToolTip(index, path);
}

QsciScintilla* AssemblerWindow::NewSource() {
  QsciScintilla* e = MakeEditor(tabs_);
  e->setProperty("untitled", QStringLiteral("untitled%1.asm").arg(++untitled_));
  const int index = tabs_->addTab(e, QString());
  connect(e, &QsciScintilla::modificationChanged, this,
          [this, e](bool) { UpdateTitle(tabs_->indexOf(e)); });
  UpdateTitle(index);
  tabs_->setCurrentIndex(index);
  return e;
}

bool AssemblerWindow::OpenSource(const QString& path) {
  if (const int open = TabOf(path); open >= 0) {
    tabs_->setCurrentIndex(open);
    return true;
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral("Cannot open %1").arg(path));
    recent_.Remove(QFileInfo(path).absoluteFilePath().toStdString());
    RefreshRecentMenu();
    return false;
  }
  // An untouched empty tab is reused.
  QsciScintilla* e = CurrentEditor();
  if (!e || !PathOf(tabs_->currentIndex()).isEmpty() || e->isModified() || e->length() != 0)
    e = NewSource();
  e->setText(QString::fromUtf8(f.readAll()));
  e->setModified(false);
  e->setProperty("path", QFileInfo(path).absoluteFilePath());
  UpdateTitle(tabs_->indexOf(e));
  recent_.Add(QFileInfo(path).absoluteFilePath().toStdString());
  RefreshRecentMenu();
  return true;
}

bool AssemblerWindow::SaveSource() {
  const int index = tabs_->currentIndex();
  QsciScintilla* e = CurrentEditor();
  if (!e) return false;
  const QString path = PathOf(index);
  if (path.isEmpty()) return SaveSourceAs();
  const QByteArray bytes = e->text().toUtf8();
  if (!WriteFileReplacing(path.toStdString(),
                          std::span(reinterpret_cast<const uint8_t*>(bytes.data()),
                                    static_cast<size_t>(bytes.size())))) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral("Cannot save %1").arg(path));
    return false;
  }
  e->setModified(false);
  UpdateTitle(index);
  return true;
}

bool AssemblerWindow::SaveSourceAs() {
  QsciScintilla* e = CurrentEditor();
  if (!e) return false;
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Source"),
                                                    PathOf(tabs_->currentIndex()),
                                                    QStringLiteral("Z80 sources (*.asm)"));
  if (path.isEmpty()) return false;
  e->setProperty("path", QFileInfo(path).absoluteFilePath());
  if (!SaveSource()) return false;
  recent_.Add(QFileInfo(path).absoluteFilePath().toStdString());
  RefreshRecentMenu();
  return true;
}

void AssemblerWindow::CloseTab(int index) {
  QsciScintilla* e = Editor(index);
  if (!e) return;
  if (e->isModified()) {
    const auto answer = QMessageBox::question(
        this, windowTitle(), QStringLiteral("Save the changes to %1?").arg(tabs_->tabText(index)),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return;
    if (answer == QMessageBox::Save) {
      tabs_->setCurrentIndex(index);
      if (!SaveSource()) return;
    }
  }
  tabs_->removeTab(index);
  e->deleteLater();
  if (tabs_->count() == 0) NewSource();
}

void AssemblerWindow::ClearMarkers() {
  for (int i = 0; i < tabs_->count(); ++i) {
    Editor(i)->markerDeleteAll(kErrorMarker);
    Editor(i)->markerDeleteAll(kWarningMarker);
  }
}

bool AssemblerWindow::Assemble() {
  const int index = tabs_->currentIndex();
  QsciScintilla* e = CurrentEditor();
  if (!e) return false;
  QString path = PathOf(index);
  if (path.isEmpty()) {
    // An unsaved source includes from the folder the program was started in.
    path = QFileInfo(e->property("untitled").toString()).absoluteFilePath();
  }
  // The open tabs' text stands for their files, saved or not.
  const AsmFileReader reader = [this](const std::string& file) -> std::optional<std::string> {
    for (int i = 0; i < tabs_->count(); ++i) {
      const QString p = PathOf(i);
      if (!p.isEmpty() && std::filesystem::path(p.toStdString()).lexically_normal() ==
                              std::filesystem::path(file).lexically_normal())
        return Editor(i)->text().toStdString();
    }
    return ReadAsmFileFromDisk(file);
  };
  last_ = orvo::Assemble(path.toStdString(), e->text().toStdString(), reader);
  const AsmResult& r = *last_;

  ClearMarkers();
  diagnostics_->clear();
  for (const AsmDiagnostic& d : r.diagnostics) {
    auto* item = new QListWidgetItem(
        QString::fromStdString(QFileInfo(QString::fromStdString(d.file)).fileName().toStdString() +
                               ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
                               ": " + (d.warning ? "warning: " : "error: ") + d.message));
    item->setForeground(d.warning ? QColor(0x90, 0x60, 0x00) : QColor(0xC0, 0x00, 0x00));
    diagnostics_->addItem(item);
    const int tab = TabOf(QString::fromStdString(d.file));
    QsciScintilla* target = tab >= 0 ? Editor(tab) : (d.file == path.toStdString() ? e : nullptr);
    if (target && d.line > 0)
      target->markerAdd(d.line - 1, d.warning ? kWarningMarker : kErrorMarker);
  }
  if (!r.ok()) {
    status_->setText(QStringLiteral("%1 error(s), %2 warning(s): nothing written")
                         .arg(r.errors)
                         .arg(r.warnings));
    if (diagnostics_->count() > 0) GoToDiagnostic(0);
    return false;
  }
  const uint8_t bank = static_cast<uint8_t>(bank_->currentData().toInt());
  LoadAssembly(Emu().m, r, bank);
  SetAssemblyLabels(Emu().m, r);
  uint16_t first = 0, last = 0;
  if (r.Range(first, last)) {
    status_->setText(QStringLiteral("%1 bytes at #%2-#%3, %4 warning(s)")
                         .arg(static_cast<int>(last - first) + 1)
                         .arg(first, 4, 16, QLatin1Char('0'))
                         .arg(last, 4, 16, QLatin1Char('0'))
                         .arg(r.warnings));
  } else {
    status_->setText(QStringLiteral("No code"));
  }
  return true;
}

bool AssemblerWindow::AssembleAndRun() {
  if (!Assemble()) return false;
  std::string error;
  const auto entry = AssemblyEntry(*last_, {}, &error);
  if (!entry) {
    status_->setText(QString::fromStdString(error));
    return false;
  }
  MachineState& m = Emu().m;
  m.cpu.PC = *entry;
  m.cpu.Halted = 0;
  status_->setText(status_->text() +
                   QStringLiteral("; running from #%1").arg(*entry, 4, 16, QLatin1Char('0')));
  return true;
}

bool AssemblerWindow::SaveOutput(const QString& path) {
  if (!last_ || !last_->ok()) return false;
  std::string error;
  const auto entry = AssemblyEntry(*last_, {}, &error);
  if (!entry || !SaveAssemblyOutput(Emu(), *last_, path.toStdString(), *entry, &error)) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
    return false;
  }
  status_->setText(QStringLiteral("Written: %1").arg(path));
  return true;
}

void AssemblerWindow::GoToDiagnostic(int row) {
  if (!last_ || row < 0 || row >= static_cast<int>(last_->diagnostics.size())) return;
  const AsmDiagnostic& d = last_->diagnostics[static_cast<size_t>(row)];
  int tab = TabOf(QString::fromStdString(d.file));
  if (tab < 0 && std::filesystem::exists(d.file) && OpenSource(QString::fromStdString(d.file)))
    tab = tabs_->currentIndex();
  if (tab < 0) tab = tabs_->currentIndex();
  tabs_->setCurrentIndex(tab);
  QsciScintilla* e = Editor(tab);
  e->setCursorPosition(std::max(0, d.line - 1), std::max(0, d.column - 1));
  e->ensureLineVisible(std::max(0, d.line - 1));
  e->setFocus();
}

void AssemblerWindow::ShowFindReplace() {
  QDialog d(this);
  d.setWindowTitle(QStringLiteral("Find and Replace"));
  auto* form = new QFormLayout(&d);
  auto* find = new QLineEdit(findText_, &d);
  auto* replace = new QLineEdit(replaceText_, &d);
  if (auto* e = CurrentEditor(); e && e->hasSelectedText()) find->setText(e->selectedText());
  form->addRow(QStringLiteral("Find:"), find);
  form->addRow(QStringLiteral("Replace with:"), replace);
  auto* buttons = new QHBoxLayout;
  auto* next = new QPushButton(QStringLiteral("Find Next"), &d);
  auto* one = new QPushButton(QStringLiteral("Replace"), &d);
  auto* all = new QPushButton(QStringLiteral("Replace All"), &d);
  auto* close = new QPushButton(QStringLiteral("Close"), &d);
  buttons->addWidget(next);
  buttons->addWidget(one);
  buttons->addWidget(all);
  buttons->addWidget(close);
  form->addRow(buttons);
  auto take = [this, find, replace] {
    findText_ = find->text();
    replaceText_ = replace->text();
  };
  connect(next, &QPushButton::clicked, &d, [this, take] { take(), FindNext(); });
  connect(one, &QPushButton::clicked, &d, [this, take] { take(), ReplaceOne(); });
  connect(all, &QPushButton::clicked, &d, [this, take] { take(), ReplaceAll(); });
  connect(close, &QPushButton::clicked, &d, &QDialog::accept);
  d.exec();
  take();
}

void AssemblerWindow::FindNext() {
  QsciScintilla* e = CurrentEditor();
  if (!e || findText_.isEmpty()) return;
  if (!e->findFirst(findText_, false, false, false, true))
    status_->setText(QStringLiteral("'%1' not found").arg(findText_));
}

void AssemblerWindow::ReplaceOne() {
  QsciScintilla* e = CurrentEditor();
  if (!e || findText_.isEmpty()) return;
  if (e->hasSelectedText() && e->selectedText().compare(findText_, Qt::CaseInsensitive) == 0)
    e->replace(replaceText_);
  FindNext();
}

void AssemblerWindow::ReplaceAll() {
  QsciScintilla* e = CurrentEditor();
  if (!e || findText_.isEmpty()) return;
  int count = 0;
  e->beginUndoAction();
  // From the top, without wrapping, so each occurrence is replaced once.
  bool found = e->findFirst(findText_, false, false, false, false, true, 0, 0);
  while (found) {
    e->replace(replaceText_);
    ++count;
    found = e->findNext();
  }
  e->endUndoAction();
  status_->setText(QStringLiteral("%1 replaced").arg(count));
}

void AssemblerCommand(MainWindow& w) {
  OpenToolWindow<AssemblerWindow>(w);
}

}  // namespace orvo::ui
