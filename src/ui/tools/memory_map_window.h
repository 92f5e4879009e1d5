#pragma once
// The memory map: the eight 8 KB pages of the Z80's address space, each labelled with the ROM,
// RAM bank or add-on it shows and coloured by kind (contended RAM darker), and on the 128K
// family where each RAM bank is paged. Updated live while the machine runs.
#include <QLabel>
#include <QTimer>
#include <array>

#include "ui/tools/tool_window.h"

namespace orvo::ui {

class MemoryMapWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit MemoryMapWindow(MainWindow& main);
  void Refresh();
  QLabel* Page(int page) const { return pages_[static_cast<size_t>(page)]; }
  QLabel* Bank(int bank) const { return banks_[static_cast<size_t>(bank)]; }

 private:
  std::array<QLabel*, 8> pages_{};
  std::array<QLabel*, 8> banks_{};
  QTimer* timer_;
};

}  // namespace orvo::ui
