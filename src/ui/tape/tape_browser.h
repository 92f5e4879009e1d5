#pragma once
// The tape browser: a modeless window ("ORVO_TAPE_BROWSER") that lists the blocks of the tape in
// the deck, shows the selected block's details, moves the current block, and opens, plays, stops
// and ejects tapes. At most one is open; it follows the deck on its own (a new tape, a rewind, the
// block being played) and keeps its screen position in the configuration.
#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace orvo {
struct TapeImage;
}

namespace orvo::ui {

class MainWindow;

class TapeBrowser final : public QDialog {
  Q_OBJECT
 public:
  explicit TapeBrowser(MainWindow& window);

  // Lists the deck's blocks again and selects the current one.
  void Fill();
  // The details of block `index` (counted from 0).
  void ShowBlockDetails(int index);

  QListWidget* BlockList() const { return blocks_; }
  QTreeWidget* DetailList() const { return details_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BlockClicked(int row);
  void Button(int which);  // 0 open ... 6 eject, as the buttons sit left to right
  void Poll();             // follows the deck: a new tape, the current block, the progress
  void SelectCurrent();

  MainWindow& window_;
  QLabel* name_;
  QListWidget* blocks_;
  QTreeWidget* details_;
  QProgressBar* progress_;
  QPushButton* play_;
  QTimer* timer_;
  const TapeImage* shown_ = nullptr;  // the tape the list was filled from
  size_t shownBlocks_ = 0;
  int shownCurrent_ = -2;
  bool shownPlaying_ = false;
};

// Menu command 132 "Browse Tape": opens the browser, or raises the one that is open.
void ShowTapeBrowser(MainWindow& window);

}  // namespace orvo::ui
