#include "ui/microdrive/microdrive_window.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

#include "devices/microdrive.h"
#include "shell/config.h"
#include "shell/emulator.h"
#include "shell/microdrive_commands.h"
#include "ui/main_window.h"

namespace orvo::ui {

namespace {

constexpr const char* kWindowName = "ORVO_MICRODRIVES";

class MicrodrivesWindow final : public QDialog {
 public:
  explicit MicrodrivesWindow(MainWindow& main) : QDialog(&main), main_(main) {
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("Microdrives"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* grid = new QGridLayout;
    for (int n = 0; n < kMicrodriveCount; ++n) {
      Line& line = lines_[static_cast<size_t>(n)];
      line.choose = new QRadioButton(this);
      line.choose->setObjectName(QStringLiteral("drive%1").arg(n + 1));
      line.lamp = new QLabel(this);
      line.lamp->setFixedSize(14, 14);
      line.protect = new QCheckBox(QStringLiteral("Protect"), this);
      line.protect->setObjectName(QStringLiteral("protect%1").arg(n + 1));
      connect(line.protect, &QCheckBox::toggled, this,
              [this, n](bool on) { SetCartridgeProtected(main_.Emu(), n, on); });
      connect(line.choose, &QRadioButton::toggled, this, [this] { UpdateButtons(); });
      grid->addWidget(line.lamp, n, 0);
      grid->addWidget(line.choose, n, 1);
      grid->addWidget(line.protect, n, 2);
    }
    insert_ = Button("Insert Cartridge", "insert", [this](int n) { Insert(n); });
    create_ = Button("Create New...", "create", [this](int n) { Create(n); });
    eject_ = Button("Eject Cartridge", "eject", [this](int n) { EjectCartridge(main_.Emu(), n); });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {insert_, create_, eject_}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    const WindowPosition at = GetWindowPlacement(main_.Emu(), Placement::Microdrives);
    move(at.left, at.top);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
    timer->start(100);
    Refresh();
  }

  void Refresh() {
    const MicrodriveState& s = main_.Emu().m.microdrives;
    const bool running = s.transfers != transfersSeen_;
    transfersSeen_ = s.transfers;
    for (int n = 0; n < kMicrodriveCount; ++n) {
      Line& line = lines_[static_cast<size_t>(n)];
      const MicrodriveUnit& d = s.drives[static_cast<size_t>(n)];
      line.choose->setText(QStringLiteral("%1. ").arg(n + 1) + QString::fromStdString(d.name));
      line.protect->setVisible(d.inserted);
      const QSignalBlocker quiet(line.protect);
      line.protect->setChecked(!d.writable);
      const bool lit = running && s.selected == n && d.inserted;
      line.lamp->setStyleSheet(lit ? QStringLiteral("background: #e03020; border-radius: 7px;")
                                   : QStringLiteral("background: #502020; border-radius: 7px;"));
      line.lamp->setToolTip(lit ? QStringLiteral("running") : QString());
    }
    UpdateButtons();
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    SetWindowPlacement(main_.Emu(), Placement::Microdrives, {x(), y()});
    QDialog::closeEvent(event);
  }

 private:
  struct Line {
    QRadioButton* choose = nullptr;
    QLabel* lamp = nullptr;
    QCheckBox* protect = nullptr;
  };

  template <class Action>
  QPushButton* Button(const char* text, const char* name, Action action) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(QString::fromUtf8(name));
    connect(b, &QPushButton::clicked, this, [this, action] {
      const int n = Chosen();
      if (n < 0) return;
      action(n);
      Refresh();
      main_.RefreshMenuStates();
    });
    return b;
  }

  int Chosen() const {
    for (int n = 0; n < kMicrodriveCount; ++n) {
      if (lines_[static_cast<size_t>(n)].choose->isChecked()) return n;
    }
    return -1;
  }

  void UpdateButtons() {
    const bool chosen = Chosen() >= 0;
    for (QPushButton* b : {insert_, create_, eject_}) b->setEnabled(chosen);
  }

  void Insert(int n) {
    Emulator& emu = main_.Emu();
    QString path;
    {
      ModalScope paused(&main_);
      path = QFileDialog::getOpenFileName(
          this, QStringLiteral("Open microdrive"),
          QString::fromStdString(emu.m.microdrives.lastPath),
          QStringLiteral("Spectrum microdrive files (*.mdr);;MDR files (*.mdr);;All files (*)"));
    }
    if (!path.isEmpty()) InsertCartridge(emu, n, path.toStdString());
  }

  void Create(int n) {
    Emulator& emu = main_.Emu();
    QString path;
    {
      ModalScope paused(&main_);
      path = QFileDialog::getSaveFileName(this, QStringLiteral("Create microdrive"),
                                          QString::fromStdString(emu.m.microdrives.lastPath),
                                          QStringLiteral("*.mdr"));
    }
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".mdr"), Qt::CaseInsensitive)) path += QStringLiteral(".mdr");
    CreateCartridge(emu, n, path.toStdString());
  }

  MainWindow& main_;
  std::array<Line, kMicrodriveCount> lines_{};
  QPushButton* insert_ = nullptr;
  QPushButton* create_ = nullptr;
  QPushButton* eject_ = nullptr;
  uint32_t transfersSeen_ = 0;
};

}  // namespace

void ShowMicrodrivesWindow(MainWindow& window) {
  auto* open = window.findChild<MicrodrivesWindow*>(QString::fromUtf8(kWindowName));
  if (open == nullptr) open = new MicrodrivesWindow(window);
  open->show();
  open->raise();
  open->activateWindow();
}

}  // namespace orvo::ui
