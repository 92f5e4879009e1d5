#include "ui/tools/keyboard_helper_window.h"

#include <QGridLayout>

#include "machine/keyboard.h"
#include "machine/model.h"
#include "shell/emulator.h"

namespace orvo::ui {

namespace {

struct KeyCap {
  const char* legend;
  const char* keyword;  // the keyword the key enters in K mode, or its shifted function
  SpectrumKey key;
};

// The four rows as the keyboard lays them out: half-row and bit of each key.
const KeyCap kKeys[40] = {
    {"1", "EDIT", {3, 0}},      {"2", "CAPS LOCK", {3, 1}}, {"3", "TRUE VIDEO", {3, 2}},
    {"4", "INV VIDEO", {3, 3}}, {"5", "LEFT", {3, 4}},      {"6", "DOWN", {4, 4}},
    {"7", "UP", {4, 3}},        {"8", "RIGHT", {4, 2}},     {"9", "GRAPHICS", {4, 1}},
    {"0", "DELETE", {4, 0}},    {"Q", "PLOT", {2, 0}},      {"W", "DRAW", {2, 1}},
    {"E", "REM", {2, 2}},       {"R", "RUN", {2, 3}},       {"T", "RAND", {2, 4}},
    {"Y", "RETURN", {5, 4}},    {"U", "IF", {5, 3}},        {"I", "INPUT", {5, 2}},
    {"O", "POKE", {5, 1}},      {"P", "PRINT", {5, 0}},     {"A", "NEW", {1, 0}},
    {"S", "SAVE", {1, 1}},      {"D", "DIM", {1, 2}},       {"F", "FOR", {1, 3}},
    {"G", "GOTO", {1, 4}},      {"H", "GOSUB", {6, 4}},     {"J", "LOAD", {6, 3}},
    {"K", "LIST", {6, 2}},      {"L", "LET", {6, 1}},       {"ENTER", "", {6, 0}},
    {"CAPS SHIFT", "", {0, 0}}, {"Z", "COPY", {0, 1}},      {"X", "CLEAR", {0, 2}},
    {"C", "CONT", {0, 3}},      {"V", "CLS", {0, 4}},       {"B", "BORDER", {7, 4}},
    {"N", "NEXT", {7, 3}},      {"M", "PAUSE", {7, 2}},     {"SYMBOL SHIFT", "", {7, 1}},
    {"SPACE", "BREAK", {7, 0}},
};

}  // namespace

KeyboardHelperWindow::KeyboardHelperWindow(MainWindow& main)
    : ToolWindow(main,
                 QStringLiteral("Keyboard Helper - ") +
                     QString::fromStdString(main.Emu().m.ModelName).trimmed(),
                 std::nullopt, false) {
  setObjectName(QStringLiteral("OrvoKeyboardHelp"));
  auto* grid = new QGridLayout(this);
  for (int i = 0; i < 40; ++i) {
    const KeyCap& cap = kKeys[i];
    auto* b = new QPushButton(
        QStringLiteral("%1\n%2").arg(QLatin1String(cap.legend), QLatin1String(cap.keyword)), this);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumSize(64, 44);
    const SpectrumKey key = cap.key;
    connect(b, &QPushButton::pressed, this, [this, key] {
      PressSpectrumKey(Emu().m, key);
      Refresh();
    });
    connect(b, &QPushButton::released, this, [this, key] {
      ReleaseSpectrumKey(Emu().m, key);
      Refresh();
    });
    grid->addWidget(b, i / 10, i % 10);
    keys_[static_cast<size_t>(i)] = b;
  }
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &KeyboardHelperWindow::Refresh);
  timer_->start(50);
  Refresh();
}

KeyboardHelperWindow::~KeyboardHelperWindow() = default;

void KeyboardHelperWindow::Refresh() {
  const auto& rows = Emu().m.input.KeyRows;
  for (int i = 0; i < 40; ++i) {
    const SpectrumKey key = kKeys[i].key;
    const bool down = (rows[key.row] >> key.bit & 1) == 0;
    QPushButton* b = keys_[static_cast<size_t>(i)];
    if (b->property("lit").toBool() == down) continue;
    b->setProperty("lit", down);
    b->setStyleSheet(down ? QStringLiteral("background:#f0d040") : QString());
  }
}

}  // namespace orvo::ui
