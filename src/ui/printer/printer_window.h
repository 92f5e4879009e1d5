#pragma once
// The "ZX Printer" window: while it is open the printer is attached to the Spectrum. It shows the
// last 60 text rows of paper, scrolls back over the rest, and offers paper feed, clearing, the
// paper style and saving the printed paper as a PNG image.
#include <QDialog>

class QLabel;
class QScrollBar;
class QTimer;

namespace orvo {
class Emulator;
}

namespace orvo::ui {

class PrinterWindow final : public QDialog {
  Q_OBJECT
 public:
  PrinterWindow(Emulator& emu, QWidget* parent);
  ~PrinterWindow() override;

  // Draws the paper and the motor lamp again when the printer has moved on.
  void Refresh(bool force = false);
  // Writes the printed paper to `path`; false (with `error`) when it cannot.
  bool SavePaper(const QString& path, QString* error) const;

 protected:
  void done(int result) override;

 private:
  Emulator& emu_;
  QLabel* paper_ = nullptr;
  QLabel* lamp_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QTimer* timer_ = nullptr;
  uint32_t shownRedraws_ = ~0u;
  uint32_t shownLine_ = ~0u;
  int shownMotor_ = -1;
};

// Tools, "ZX Printer": opens the window (or brings it forward).
class MainWindow;
void ZxPrinterCommand(MainWindow& w);

}  // namespace orvo::ui
