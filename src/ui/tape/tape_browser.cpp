#include "ui/tape/tape_browser.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/config.h"
#include "shell/emulator.h"
#include "shell/tape_browser_text.h"
#include "shell/tape_commands.h"
#include "tape/tape_player.h"
#include "ui/file_commands.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {

constexpr int kRefreshMs = 200;

// The block at `index` made current as the deck would reach it: every block from the first up to
// it is entered in turn.
void EnterBlockAt(MachineState& m, int index) {
  TapeImage& image = *m.tape.image;
  if (index < 0 || index >= static_cast<int>(image.blocks.size())) return;
  for (int k = 0; k <= index; ++k) EnterTapeBlock(m, image.blocks[static_cast<size_t>(k)].get());
}

int CurrentIndex(const MachineState& m) {
  if (!m.tape.image || !m.tape.image->current) return -1;
  return static_cast<int>(m.tape.image->current->index);
}

}  // namespace

TapeBrowser::TapeBrowser(MainWindow& window) : QDialog(&window), window_(window) {
  setObjectName(QStringLiteral("ORVO_TAPE_BROWSER"));
  setWindowTitle(QStringLiteral("Tape Browser"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);

  name_ = new QLabel(this);
  blocks_ = new QListWidget(this);
  blocks_->setObjectName(QStringLiteral("blockList"));
  details_ = new QTreeWidget(this);
  details_->setObjectName(QStringLiteral("blockDetails"));
  details_->setColumnCount(2);
  details_->setHeaderHidden(true);
  details_->setRootIsDecorated(false);
  details_->setColumnWidth(0, 125);
  details_->setColumnWidth(1, 270);
  progress_ = new QProgressBar(this);
  progress_->setFixedSize(628, 20);
  progress_->setTextVisible(false);
  progress_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: #2c2; }"));

  auto* lists = new QHBoxLayout;
  lists->addWidget(blocks_, 1);
  lists->addWidget(details_, 1);
  auto* buttons = new QHBoxLayout;
  static const char* const kButtons[] = {"Open", "|<", "<", "Play", ">", ">|", "Eject"};
  for (int k = 0; k < 7; ++k) {
    auto* b = new QPushButton(QString::fromLatin1(kButtons[k]), this);
    b->setObjectName(QStringLiteral("tapeButton%1").arg(k));
    connect(b, &QPushButton::clicked, this, [this, k] { Button(k); });
    buttons->addWidget(b);
    if (k == 3) play_ = b;
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name_);
  layout->addLayout(lists);
  layout->addLayout(buttons);
  layout->addWidget(progress_);

  connect(blocks_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) ShowBlockDetails(row);
  });
  connect(blocks_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { BlockClicked(blocks_->row(item)); });

  const WindowPosition at = GetWindowPlacement(window_.Emu(), Placement::TapeBrowser);
  move(at.left, at.top);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TapeBrowser::Poll);
  timer_->start(kRefreshMs);
  Fill();
}

void TapeBrowser::Fill() {
  const MachineState& m = window_.Emu().m;
  blocks_->blockSignals(true);
  blocks_->clear();
  details_->clear();
  shown_ = m.tape.image.get();
  shownBlocks_ = shown_ ? shown_->blocks.size() : 0;
  if (shown_) {
    name_->setText(QString::fromStdString(shown_->path));
    for (const auto& block : shown_->blocks) {
      blocks_->addItem(QString::fromStdString(BlockLabel(*block)));
    }
    blocks_->addItem(QString::fromLatin1(kEndOfTapeLabel));
  } else {
    name_->clear();
  }
  blocks_->blockSignals(false);
  shownCurrent_ = -2;
  SelectCurrent();
}

void TapeBrowser::SelectCurrent() {
  const MachineState& m = window_.Emu().m;
  const int current = CurrentIndex(m);
  if (current != shownCurrent_) {
    shownCurrent_ = current;
    if (m.tape.image) {
      // No current block: the deck is past the end.
      blocks_->setCurrentRow(current >= 0 ? current : blocks_->count() - 1);
      const TapeBlock* b = m.tape.image->current;
      // A range of 0 to 0 would make the bar animate as busy: a block without data (or the end
      // of the tape) shows an empty bar instead.
      progress_->setRange(0, b && b->length > 0 ? static_cast<int>(b->length) : 1);
    }
  }
  progress_->setValue(std::min(static_cast<int>(m.tape.Progress), progress_->maximum()));
  if (shownPlaying_ != (m.TapePlaying != 0) || play_->text().isEmpty()) {
    shownPlaying_ = m.TapePlaying != 0;
    play_->setText(shownPlaying_ ? QStringLiteral("Stop") : QStringLiteral("Play"));
  }
}

void TapeBrowser::ShowBlockDetails(int index) {
  details_->clear();
  const MachineState& m = window_.Emu().m;
  if (!m.tape.image || index < 0 || index >= static_cast<int>(m.tape.image->blocks.size())) return;
  for (const auto& [label, value] :
       BlockDetails(*m.tape.image->blocks[static_cast<size_t>(index)])) {
    auto* row = new QTreeWidgetItem(details_);
    row->setText(0, QString::fromStdString(label));
    row->setText(1, QString::fromStdString(value));
  }
}

void TapeBrowser::BlockClicked(int row) {
  MachineState& m = window_.Emu().m;
  if (!m.tape.image) return;
  // While the tape plays a click only refreshes the view.
  if (!m.TapePlaying) {
    ShowBlockDetails(row);
    EnterBlockAt(m, row);
  }
  SelectCurrent();
}

void TapeBrowser::Button(int which) {
  Emulator& emu = window_.Emu();
  MachineState& m = emu.m;
  const bool needsTape = which >= 1 && which != 3;
  if (needsTape && !m.tape.image) {
    emu.ShowMessage(CaptionId::Options, kMsgNoTapeInDeck);
    return;
  }
  switch (which) {
    case 0: LoadTapeCommand(window_); break;
    case 1: EnterBlockAt(m, 0); break;
    case 2: {
      const int current = CurrentIndex(m);
      EnterBlockAt(m, current < 0 ? static_cast<int>(m.tape.image->blocks.size()) - 1
                                  : std::max(current - 1, 0));
      break;
    }
    case 3: StartStopTapeCommand(emu); break;
    case 4:
      if (m.tape.image->current && m.tape.image->current->next) {
        EnterBlockAt(m, CurrentIndex(m) + 1);
      }
      break;
    case 5: EnterBlockAt(m, static_cast<int>(m.tape.image->blocks.size()) - 1); break;
    case 6: EjectTapeCommand(emu); break;
    default: break;
  }
  Poll();
}

void TapeBrowser::Poll() {
  const MachineState& m = window_.Emu().m;
  const TapeImage* image = m.tape.image.get();
  if (image != shown_ || (image && image->blocks.size() != shownBlocks_)) {
    Fill();
    return;
  }
  SelectCurrent();
}

void TapeBrowser::closeEvent(QCloseEvent* event) {
  SetWindowPlacement(window_.Emu(), Placement::TapeBrowser, {x(), y()});
  QDialog::closeEvent(event);
}

void ShowTapeBrowser(MainWindow& window) {
  auto* browser = window.findChild<TapeBrowser*>(QStringLiteral("ORVO_TAPE_BROWSER"));
  if (browser == nullptr) browser = new TapeBrowser(window);
  browser->show();
  browser->raise();
}

}  // namespace orvo::ui
