#include "ui/tools/memory_map_window.h"

#include <QGridLayout>

#include "shell/emulator.h"
#include "tools/memory_map.h"

namespace orvo::ui {

MemoryMapWindow::MemoryMapWindow(MainWindow& main)
    : ToolWindow(main, QStringLiteral("Memory Map"), Placement::MemoryMap, false) {
  setObjectName(QStringLiteral("OrvoMemoryMap"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("<b>64K address space</b>"), this), 0, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("<b>128K banks</b>"), this), 0, 2, 1, 2);
  for (int i = 0; i < 8; ++i) {
    // Highest address at the top, as memory maps are drawn.
    const int row = 8 - i;
    grid->addWidget(
        new QLabel(QStringLiteral("%1").arg(i * 0x2000, 4, 16, QChar('0')).toUpper(), this), row,
        0);
    pages_[static_cast<size_t>(i)] = new QLabel(this);
    pages_[static_cast<size_t>(i)]->setMinimumWidth(220);
    grid->addWidget(pages_[static_cast<size_t>(i)], row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Bank %1").arg(i), this), row, 2);
    banks_[static_cast<size_t>(i)] = new QLabel(this);
    banks_[static_cast<size_t>(i)]->setMinimumWidth(140);
    grid->addWidget(banks_[static_cast<size_t>(i)], row, 3);
  }
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &MemoryMapWindow::Refresh);
  timer_->start(200);
  Refresh();
}

void MemoryMapWindow::Refresh() {
  const MemoryMapModel map = BuildMemoryMap(Emu().m);
  for (int i = 0; i < 8; ++i) {
    const PageInfo& p = map.pages[static_cast<size_t>(i)];
    QString text = QString::fromStdString(PageLabel(p));
    if (p.kind == PageKind::Ram) text += p.offset ? QStringLiteral(" (upper)") : QString();
    if (p.contended) text += QStringLiteral(", contended");
    if (!p.writable) text += QStringLiteral(", read only");
    const char* colour = p.kind == PageKind::Rom       ? "#d0a0a0"
                         : p.kind == PageKind::Device  ? "#a0a0e0"
                         : p.kind == PageKind::Missing ? "#c0c0c0"
                         : p.contended                 ? "#80c080"
                                                       : "#b0f0b0";
    QLabel* label = pages_[static_cast<size_t>(i)];
    label->setText(text);
    label->setStyleSheet(QStringLiteral("background:%1; padding:4px").arg(QLatin1String(colour)));
    QString bank;
    if (map.banked) {
      const int at = map.bankPagedAt[static_cast<size_t>(i)];
      bank = at < 0 ? QStringLiteral("not paged")
                    : QStringLiteral("at %1").arg(at, 4, 16, QChar('0')).toUpper();
      if (i == map.screenBank) bank += QStringLiteral(", screen");
    } else {
      bank = QStringLiteral("-");
    }
    banks_[static_cast<size_t>(i)]->setText(bank);
  }
}

}  // namespace orvo::ui
