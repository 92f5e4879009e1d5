#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <span>

#include "machine/keyboard.h"
#include "machine/typing.h"
#include "rzx/rzx_session.h"
#include "shell/config.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/frame_loop.h"
#include "shell/machine_setup.h"
#include "shell/media_loaders.h"
#include "shell/messages.h"
#include "shell/window_commands.h"
#include "sound/sound_output.h"
#include "ui/command_table.h"
#include "ui/debugger/debugger_window.h"
#include "ui/disk/disk_menu.h"
#include "ui/display_extras.h"
#include "ui/file_commands.h"
#include "ui/key_translation.h"
#include "ui/picture_view.h"
#include "ui/qt_host.h"
#include "ui/recent_files_menu.h"
#include "video/palette.h"

namespace orvo::ui {

QString VersionText() {
  return QStringLiteral("%1.%2").arg(QStringLiteral(ORVO_VERSION_MAJOR_TEXT),
                                     QStringLiteral(ORVO_VERSION_MINOR_TEXT));
}

QString WindowTitle() {
  return QStringLiteral("Orvo v") + VersionText();
}

QSize ClientSizeFor(int drawSize) {
  const int s = drawSize >= 1 && drawSize <= 3 ? drawSize : 1;
  return {kPictureWidth * s + 10, kPictureHeight * s + 10};
}

// ---- status bar ----

StatusBarWidget::StatusBarWidget(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  for (int i = 0; i < kStatusParts; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("statusPart%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(0);
    parts_[static_cast<size_t>(i)] = label;
  }
  diskLamp_ = new QLabel(this);
  diskLamp_->setObjectName(QStringLiteral("diskLamp"));
  diskLamp_->setFixedSize(15, 15);
  diskLamp_->hide();
  addPermanentWidget(diskLamp_);
  hint_ = new QLabel(this);
  hint_->setObjectName(QStringLiteral("statusHint"));
  hint_->setTextFormat(Qt::PlainText);
  hint_->setAutoFillBackground(true);
  hint_->hide();
  setFixedHeight(sizeHint().height());
}

void StatusBarWidget::ShowHint(const QString& text) {
  hint_->setText(QLatin1Char(' ') + text);
  hint_->setGeometry(0, 0, width(), height());
  hint_->show();
  hint_->raise();
  // Long enough to read; the parts come back after it.
  QTimer::singleShot(15000, hint_, &QLabel::hide);
}

void StatusBarWidget::HideHint() {
  hint_->hide();
}

void StatusBarWidget::SetDiskLamp(int state) {
  if (state == diskLampState_) return;
  diskLampState_ = state;
  diskLamp_->setVisible(state != 0);
  diskLamp_->setStyleSheet(state == 2
                               ? QStringLiteral("background: #00c000; border: 1px solid black")
                               : QStringLiteral("background: #e00000; border: 1px solid black"));
}

QSize StatusBarWidget::sizeHint() const {
  return {0, fontMetrics().height() + 8};
}

QSize StatusBarWidget::minimumSizeHint() const {
  return {0, sizeHint().height()};
}

namespace {

// The longest texts the frame counter and the speed get.
const char* const kLongestPartTexts[kStatusParts] = {"", " Frames Per Second: 100 ", " Speed: 200%",
                                                     ""};

}  // namespace

int StatusBarWidget::RequiredWidth() const {
  int left = 0;
  for (int i = 0; i < kStatusParts - 1; ++i) {
    const QLabel* part = parts_[static_cast<size_t>(i)];
    const int text = std::max(fontMetrics().horizontalAdvance(part->text()),
                              fontMetrics().horizontalAdvance(QLatin1String(kLongestPartTexts[i])));
    left = std::max(kStatusPartEdges[static_cast<size_t>(i)], left + text + 12);
  }
  return left;
}

void StatusBarWidget::Relayout() {
  int left = 0;
  for (int i = 0; i < kStatusParts; ++i) {
    QLabel* part = parts_[static_cast<size_t>(i)];
    int right = kStatusPartEdges[static_cast<size_t>(i)];
    // A part never cuts its own text: its edge moves right instead.
    right = std::max(right, left + fontMetrics().horizontalAdvance(part->text()) + 12);
    if (i == kStatusParts - 1) right = std::max(right, width());
    part->setGeometry(left, 1, right - left - 2, height() - 2);
    left = right;
  }
}

void StatusBarWidget::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  Relayout();
}

// ---- modal scope ----

ModalScope::ModalScope(MainWindow* window) : window_(window) {
  if (window_ == nullptr) return;
  MachineState& m = window_->Emu().m;
  wasPaused_ = m.Paused;
  m.Paused = 1;
  PauseSound(m, 1);
}

ModalScope::~ModalScope() {
  if (window_ == nullptr) return;
  MachineState& m = window_->Emu().m;
  m.Paused = wasPaused_;
  if (SoundShouldPlay(m)) PauseSound(m, 0);
}

// ---- the window ----

MainWindow::MainWindow(Emulator& emu, QtHost& host) : emu_(emu), host_(host) {
  InstallDiskOptionHooks();
  setObjectName(QStringLiteral("OrvoMainWindow"));
  setWindowTitle(WindowTitle());
  setAttribute(Qt::WA_QuitOnClose, false);
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  usePhysicalKeys_ = PlatformHasEvdevScanCodes();

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("clientArea"));
  client_->setAutoFillBackground(true);
  client_->setFocusPolicy(Qt::NoFocus);
  client_->installEventFilter(this);
  setCentralWidget(client_);

  status_ = new StatusBarWidget(this);
  extras_ = new DisplayExtras(*this);
  setStatusBar(status_);
  for (int i = 0; i < kStatusParts; ++i) {
    SetStatusPart(i, QString::fromStdString(statusData_.parts[static_cast<size_t>(i)]));
  }

  recent_ = std::make_unique<RecentFiles>(RecentFiles::DefaultStorePath());
  recent_->Load();
  BuildMenus();
  rewind_ = std::make_unique<RewindHistory>();
  rewindTimer_ = new QTimer(this);
  rewindTimer_->setInterval(500);
  connect(rewindTimer_, &QTimer::timeout, this, [this] {
    if (emu_.settings.Rewind) StoreRewindRecord(emu_.m, *rewind_);
  });
  rewindClearsSeen_ = emu_.config.RewindHistoryClears;
  host_.SetWindow(this);
  UpdateViewChecks(emu_);
  SetUpDisplay();
  RefreshMenuStates();
  // The history is kept from start-up when the configuration has it on.
  SyncRewindTimer();
}

MainWindow::~MainWindow() {
  // The tool, debugger and device windows go first, while this window is still whole: closing
  // they store their places and end their pauses through it.
  for (QDialog* dialog : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly))
    delete dialog;
  if (host_.Window() == this) host_.SetWindow(nullptr);
}

void MainWindow::BuildMenus() {
  for (const char* title : MenuTitles()) {
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(title));
    menu->setObjectName(QString::fromLatin1(title));
    menus_[QString::fromLatin1(title)] = menu;
    // The emulation and the sound stand still while a menu is open.
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::MenuOpened);
    connect(menu, &QMenu::aboutToHide, this, &MainWindow::MenuClosed);
  }
  std::map<QString, QMenu*> submenus;
  for (const CommandRow& row : CommandTable()) {
    auto* action = new QAction(QString::fromLatin1(row.text), this);
    action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(row.id)));
    action->setData(static_cast<int>(row.id));
    action->setCheckable(row.checkable);
    if (row.shortcut != nullptr) {
      action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
      // Keys work like the accelerator table: whether or not the menu bar is shown.
      action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setEnabled(row.handler != nullptr);
    const CommandId id = row.id;
    connect(action, &QAction::triggered, this, [this, id] { DispatchCommand(id); });
    addAction(action);  // the window owns the key, so it works in full screen too
    actions_[id] = action;
    if (row.menu == nullptr) continue;
    QMenu* menu = menus_.at(QString::fromLatin1(row.menu));
    if (row.submenu != nullptr) {
      const QString key = QString::fromLatin1(row.menu) + '/' + QString::fromLatin1(row.submenu);
      QMenu*& sub = submenus[key];
      if (sub == nullptr) {
        if (row.separatorBefore) menu->addSeparator();
        sub = menu->addMenu(QString::fromLatin1(row.submenu));
        submenus_.push_back(sub);
      }
      sub->addAction(action);
      continue;
    }
    if (row.separatorBefore) menu->addSeparator();
    menu->addAction(action);
  }
  // File > Recent Files, in its own group above "Quit".
  recentMenu_ = new RecentFilesMenu(*this, *recent_);
  if (QMenu* file = Menu(QStringLiteral("File")); file != nullptr) {
    const QList<QAction*> items = file->actions();
    const qsizetype quit = items.indexOf(Action(CommandId::Quit));
    QAction* before = quit > 0 ? items[quit - 1] : Action(CommandId::Quit);
    file->insertSeparator(before);
    file->insertMenu(before, recentMenu_);
  }
}

void MainWindow::NoteRecentFile(const std::string& path) {
  recent_->Add(path);
  recentMenu_->ScheduleRebuild();
}

// The emulation and the sound stand still while a menu is open, as they would in a modal menu
// loop; otherwise the sound pacing would wait on a stopped device.
void MainWindow::MenuOpened() {
  if (menusOpen_++ > 0) return;
  MachineState& m = emu_.m;
  pausedBeforeMenu_ = m.Paused;
  m.Paused = 1;
  PauseSound(m, 1);
}

void MainWindow::MenuClosed() {
  if (menusOpen_ == 0 || --menusOpen_ > 0) return;
  MachineState& m = emu_.m;
  m.Paused = pausedBeforeMenu_;
  if (SoundShouldPlay(m)) PauseSound(m, 0);
}

QAction* MainWindow::Action(CommandId id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::Menu(const QString& title) const {
  auto it = menus_.find(title);
  return it == menus_.end() ? nullptr : it->second;
}

void MainWindow::RefreshMenuStates() {
  for (auto& [id, action] : actions_) {
    const CommandRow* row = FindCommand(id);
    const bool available = row != nullptr && row->handler != nullptr;
    action->setEnabled(available && emu_.menu.IsEnabled(id));
    if (action->isCheckable()) action->setChecked(emu_.menu.IsChecked(id));
  }
  // A submenu with nothing to choose is itself unavailable.
  for (QMenu* sub : submenus_) {
    const QList<QAction*> items = sub->actions();
    sub->menuAction()->setEnabled(
        std::any_of(items.begin(), items.end(), [](const QAction* a) { return a->isEnabled(); }));
  }
}

void MainWindow::DispatchCommand(CommandId id) {
  const CommandRow* row = FindCommand(id);
  if (row == nullptr || row->handler == nullptr || !emu_.menu.IsEnabled(id)) {
    RefreshMenuStates();
    return;
  }
  row->handler(*this);
  SyncRewindTimer();
  RefreshMenuStates();
}

// ---- rewind ----

void MainWindow::SyncRewindTimer() {
  if (emu_.config.RewindHistoryClears != rewindClearsSeen_) {
    rewindClearsSeen_ = emu_.config.RewindHistoryClears;
    ClearRewindHistory(*rewind_);
  }
  if (emu_.config.RewindTimerRunning && !rewindTimer_->isActive()) rewindTimer_->start();
  if (!emu_.config.RewindTimerRunning && rewindTimer_->isActive()) rewindTimer_->stop();
}

bool MainWindow::RewindTimerActive() const {
  return rewindTimer_->isActive();
}

void MainWindow::RewindOneStep() {
  orvo::RewindOneStep(emu_, *rewind_);
}

// ---- display ----

bool MainWindow::IsFullScreen() const {
  return emu_.settings.DrawSize == 4;
}

void MainWindow::SetUpDisplay() {
  ApplyPalette(emu_.m);
  const int mode = emu_.settings.DrawMode;
  // Through the shader effects black is a dark grey, so scanlines and masks show on it too.
  if (mode == 2) emu_.m.video.ColourTable[0] = emu_.m.video.ColourTable[8] = 0x303030;
  const int vsync = emu_.settings.Vsync ? 1 : 0;
  // Only the OpenGL view depends on Vsync (its swap interval is fixed when it is made).
  const bool wantGl = mode != 0 && PlatformSupportsOpenGl();
  const bool needNew =
      view_ == nullptr || view_->IsOpenGl() != wantGl || (wantGl && viewVsync_ != vsync);
  if (needNew) {
    QImage last;
    if (view_ != nullptr) {
      last = view_->Picture();
      delete view_->Widget();
      view_ = nullptr;
    }
    view_ = MakePictureView(client_, mode, vsync != 0);
    view_->Widget()->setObjectName(QStringLiteral("picture"));
    if (!last.isNull()) view_->SetPicture(reinterpret_cast<const uint32_t*>(last.constBits()));
    view_->Widget()->show();
    viewVsync_ = vsync;
  }
  ApplyWindowGeometry();
  extras_->ApplyShader(view_);
  view_->Widget()->update();
  if (MouseCaptured()) ShowMouseHint(true);  // over the picture where it now is
}

void MainWindow::ApplyWindowGeometry() {
  const int size = emu_.settings.DrawSize;
  if (size == 4) {
    menuBar()->hide();
    status_->hide();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    client_->setMinimumSize(0, 0);
    client_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (QScreen* screen = this->screen()) setGeometry(screen->geometry());
    if (shownOnce_) showFullScreen();
    view_->Widget()->setGeometry(client_->rect());
    return;
  }
  // The window is never narrower than its menu bar (every menu shown) and the status texts; the
  // picture is centred in a client area made wider for them.
  QSize client = ClientSizeFor(size);
  const int menuWidth = menuBar()->isHidden() ? 0 : menuBar()->sizeHint().width();
  const int statusWidth = status_->isHidden() ? 0 : status_->RequiredWidth();
  client.setWidth(std::max({client.width(), menuWidth, statusWidth}));
  client_->setFixedSize(client);
  view_->Widget()->setGeometry((client.width() - kPictureWidth * size) / 2, 5, kPictureWidth * size,
                               kPictureHeight * size);
  int menuHeight = 0;
  if (!menuBar()->isHidden()) {
    menuHeight = menuBar()->heightForWidth(client.width());
    if (menuHeight <= 0) menuHeight = menuBar()->sizeHint().height();
  }
  const int statusHeight = status_->isHidden() ? 0 : status_->sizeHint().height();
  setFixedSize(client.width(), menuHeight + client.height() + statusHeight);
  KeepOnScreen();
}

bool MainWindow::FitsScreenAt(int size) const {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return true;
  const QSize frame = frameGeometry().size() - geometry().size();
  const QSize client = ClientSizeFor(size);
  const int bars = menuBar()->sizeHint().height() + status_->sizeHint().height();
  const QRect avail = screen->availableGeometry();
  return client.width() + frame.width() <= avail.width() &&
         client.height() + bars + frame.height() <= avail.height();
}

void MainWindow::KeepOnScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect avail = screen->availableGeometry();
  const QRect frame = frameGeometry();
  QPoint to = frame.topLeft();
  to.setX(std::max(avail.left(), std::min(to.x(), avail.right() + 1 - frame.width())));
  to.setY(std::max(avail.top(), std::min(to.y(), avail.bottom() + 1 - frame.height())));
  if (to != frame.topLeft()) move(to);
}

void MainWindow::Present(const uint32_t* pixels) {
  ++picturesPresented_;
  if (view_ != nullptr) view_->SetPicture(pixels);
  extras_->FramePresented(pixels);
}

void MainWindow::ShowInitially() {
  // Where the window was when the program last quit, kept on the screen.
  const WindowPosition stored = GetWindowPlacement(emu_, Placement::MainWindow);
  QPoint position(stored.left, stored.top);
  if (QScreen* screen = this->screen()) {
    const QRect avail = screen->availableGeometry();
    position.setX(
        std::clamp(position.x(), avail.left(), std::max(avail.left(), avail.right() - width())));
    position.setY(
        std::clamp(position.y(), avail.top(), std::max(avail.top(), avail.bottom() - height())));
  }
  move(position);
  if (IsFullScreen()) {
    showFullScreen();
  } else {
    show();
  }
  shownOnce_ = true;
  ApplyWindowGeometry();
  // A size kept from a larger screen becomes the largest that fits this one.
  if (!IsFullScreen() && !FitsScreenAt(emu_.settings.DrawSize)) {
    ChooseDrawSize(emu_.settings.DrawSize);
  }
  activateWindow();
  setFocus();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize && view_ != nullptr && IsFullScreen()) {
    view_->Widget()->setGeometry(client_->rect());
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ChooseDrawSize(int size) {
  if (IsFullScreen()) ToggleFullScreen();
  // A size too large for the screen the window is on becomes the largest that fits.
  int fitted = size;
  while (fitted > 1 && !FitsScreenAt(fitted)) --fitted;
  SetDrawSize(emu_, fitted);
  SetUpDisplay();
  // The note stays in the last part while that part has nothing else to show.
  fitNote_ =
      fitted == size
          ? QString()
          : QStringLiteral(" %1% does not fit this screen: %2%").arg(size * 100).arg(fitted * 100);
  if (!fitNote_.isEmpty()) SetStatusPart(kStatusParts - 1, fitNote_);
}

void MainWindow::ToggleFullScreen() {
  Settings& s = emu_.settings;
  if (!IsFullScreen()) {
    windowedDrawSize_ = s.DrawSize;
    windowedPosition_ = pos();
    windowedGeometry_ = geometry();
    s.DrawSize = 4;
    client_->setCursor(Qt::BlankCursor);
    SetUpDisplay();
    UpdateViewChecks(emu_);
    return;
  }
  s.DrawSize = windowedDrawSize_ >= 1 && windowedDrawSize_ <= 3 ? windowedDrawSize_ : 1;
  menuBar()->show();
  status_->show();
  showNormal();
  client_->unsetCursor();
  UpdateViewChecks(emu_);
  SetUpDisplay();
  // Back exactly where it was: the client area's own position, so that the frame the window
  // system puts back around it does not shift it.
  setGeometry(QRect(windowedGeometry_.topLeft(), size()));
}

void MainWindow::ToggleVsync() {
  orvo::ToggleVsync(emu_);
  SetUpDisplay();
}

// ---- status bar ----

void MainWindow::SetStatusPart(int part, const QString& text) {
  if (part < 0 || part >= kStatusParts) return;
  statusData_.parts[static_cast<size_t>(part)] = text.toStdString();
  status_->Part(part)->setText(text);
  status_->Relayout();
}

void MainWindow::RefreshStatusBar() {
  for (int i = 0; i < kStatusParts; ++i) {
    status_->Part(i)->setText(QString::fromStdString(statusData_.parts[static_cast<size_t>(i)]));
  }
  status_->Relayout();
}

// ---- main loop ----

bool MainWindow::RunPass() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (quitting_) return false;
  const uint64_t frames = emu_.m.FrameCount;
  RunFrame(emu_);
  // A breakpoint (or a debugger event) stopped the machine inside the frame: the debugger opens
  // where it stands.
  if (emu_.m.debug.stop != DebugStop::kNone) OpenDebugger(emu_, this);
  if (UpdateStatusBar(emu_, statusData_)) {
    if (!fitNote_.isEmpty() && statusData_.parts[kStatusParts - 1].empty()) {
      statusData_.parts[kStatusParts - 1] = fitNote_.toStdString();
    }
    RefreshStatusBar();
  }
  const MachineState& m = emu_.m;
  // A tape just opened that nothing will start: the status bar says how to start it.
  const TapeImage* tape = m.tape.image.get();
  if (tape != hintedTape_) {
    hintedTape_ = tape;
    const std::string hint = TapeStartHint(emu_);
    if (!hint.empty()) status_->ShowHint(QString::fromStdString(hint));
  }
  if (m.TapePlaying || tape == nullptr) status_->HideHint();
  // The +3 always has its lamp: red, and green while a disk's motor turns.
  status_->SetDiskLamp(m.MachineModel != kModelPlus3        ? 0
                       : m.DiskLampDrawn && m.DiskMotorLamp ? 2
                                                            : 1);
  // The core keeps the menu states; a frame may have changed them (a tape that stopped, a
  // recording that ended).
  if (emu_.m.FrameCount != frames) RefreshMenuStates();
  return !quitting_;
}

int MainWindow::RunMainLoop() {
  while (RunPass()) {
  }
  return 0;
}

bool MainWindow::QuitProgram() {
  if (quitting_) return true;
  if (!ConfirmQuit(emu_)) return false;
  FinishQuit();
  return true;
}

void MainWindow::QuitWithoutAsking() {
  if (quitting_) return;
  // A dialog open over the window goes as Cancel or Escape would close it; what it was doing is
  // not done.
  QWidget* closed = nullptr;
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (modal == closed || !modal->close()) break;
    closed = modal;
  }
  emu_.m.Paused = 1;
  PauseSound(emu_.m, 1);
  FinishQuit();
}

void MainWindow::FinishQuit() {
  if (!IsFullScreen()) {
    SetWindowPlacement(emu_, Placement::MainWindow, {x(), y()});
  } else {
    SetWindowPlacement(emu_, Placement::MainWindow, {windowedPosition_.x(), windowedPosition_.y()});
  }
  ReleaseHostMouse();
  ShutDown(emu_);
  quitting_ = true;
  hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (quitting_ || QuitProgram()) {
    event->accept();
  } else {
    event->ignore();
  }
}

// ---- files ----

void MainWindow::OpenCommandLineFile(const std::string& path) {
  if (orvo::OpenCommandLineFile(emu_, path) == 0 && emu_.files.LastLoadStatus == kLoadedOk) {
    NoteRecentFile(emu_.files.CurrentFilePath.empty() ? path : emu_.files.CurrentFilePath);
  }
  ShowZipPickerIfPending(*this);
  RefreshMenuStates();
}

void MainWindow::OpenDroppedFile(const QString& path) {
  if (QFileInfo(path).isDir()) return;  // folders are not files to load
  if (LoadFile(emu_, path.toStdString()) == 0 && emu_.files.LastLoadStatus == kLoadedOk) {
    NoteRecentFile(path.toStdString());
  }
  ShowZipPickerIfPending(*this);
  emu_.m.Paused = 0;
  if (SoundShouldPlay(emu_.m)) PauseSound(emu_.m, 0);
  RefreshMenuStates();
}

void MainWindow::TypeText(const QString& text, int spoolSpeed) {
  if (text.isEmpty() || !RzxAllowsTyping(emu_)) return;
  const QByteArray bytes = text.toUtf8();
  // The pasted text gets its own pace: the user's "Spool Speed" stays as it was.
  StartTyping(emu_.m,
              std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                       static_cast<size_t>(bytes.size())),
              spoolSpeed);
}

bool MainWindow::StopTyping() {
  MachineState& m = emu_.m;
  if (!TypingActive(m)) return false;
  CancelTyping(m);
  if (SoundShouldPlay(m)) PauseSound(m, 0);
  return true;
}

// ---- keys ----

bool MainWindow::focusNextPrevChild(bool) {
  return false;
}  // Tab is a key like any other

void MainWindow::keyPressEvent(QKeyEvent* event) {
  ForwardKey(event, true);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  // Held keys repeat their presses only; a repeated release would let go of the key between.
  if (event->isAutoRepeat()) return;
  ForwardKey(event, false);
}

void MainWindow::ForwardKey(QKeyEvent* event, bool down) {
  const int vk = VirtualKeyFor(*event, usePhysicalKeys_);
  // The Shift key's own event carries the state before it; every other key the current one.
  const bool shift =
      event->key() == Qt::Key_Shift ? down : event->modifiers().testFlag(Qt::ShiftModifier);
  MachineState& m = emu_.m;
  m.input.WindowForeground = 1;
  // A key pressed while text is typed in stops the typing; the key itself goes nowhere, so no
  // stray character follows the text.
  if (down && !event->isAutoRepeat() && StopTyping()) {
    event->accept();
    return;
  }
  // A punctuation key types the character the host's layout gives it (Shift+' is " on a US
  // keyboard, @ on a UK one); the same character is let go when the key comes up.
  constexpr int kFirstPunctuationKey = 186, kLastPunctuationKey = 223;
  if (down && vk >= kFirstPunctuationKey && vk <= kLastPunctuationKey && !event->text().isEmpty()) {
    const char32_t c = event->text().toUcs4().value(0);
    if (CharacterKeyDown(m, c)) {
      lastKeyDown_ = vk;
      heldCharacters_[event->nativeScanCode() != 0 ? event->nativeScanCode()
                                                   : static_cast<uint32_t>(vk)] = c;
      event->accept();
      return;
    }
  }
  if (!down) {
    const auto held = heldCharacters_.find(
        event->nativeScanCode() != 0 ? event->nativeScanCode() : static_cast<uint32_t>(vk));
    if (held != heldCharacters_.end()) {
      lastKeyUp_ = vk;
      CharacterKeyUp(m, held->second);
      heldCharacters_.erase(held);
      event->accept();
      return;
    }
  }
  if (down) {
    lastKeyDown_ = vk;
    if (vk != 0) KeyDown(m, vk, shift);
    // A Recreated Spectrum keyboard speaks in characters, one per press and one per release.
    if (m.settings.RecreatedSpectrum) {
      for (QChar c : event->text()) {
        if (c.unicode() < 0x80) RecreatedChar(m, static_cast<uint8_t>(c.unicode()));
      }
    }
  } else {
    lastKeyUp_ = vk;
    if (vk != 0) KeyUp(m, vk, shift);
  }
  event->accept();
}

// ---- mouse ----

bool MainWindow::MouseCaptured() const {
  return emu_.m.input.MouseCaptured != 0;
}

bool MainWindow::MouseCaptureWanted() const {
  // A mouse type of "None" wants no capture, whatever an earlier choice left behind.
  return emu_.m.input.MouseWanted != 0 && emu_.m.settings.MouseType != 0;
}

void MainWindow::MouseTypeChanged() {
  if (!MouseCaptureWanted()) ReleaseHostMouse();
}

void MainWindow::ToggleMouseCapture() {
  if (!MouseCaptureWanted() || MouseCaptured()) {
    ReleaseHostMouse();
  } else {
    CaptureHostMouse();
  }
}

QRect MainWindow::MouseRect() const {
  const int s =
      emu_.settings.DrawSize >= 1 && emu_.settings.DrawSize <= 3 ? emu_.settings.DrawSize : 1;
  const QPoint origin = view_->Widget()->mapToGlobal(QPoint(0, 0));
  const QPoint topLeft(origin.x() + 48 * s, origin.y() + 48 * s);
  return QRect(topLeft, QSize(256 * s, 192 * s));
}

void MainWindow::CaptureHostMouse() {
  if (MouseCaptured()) return;
  CaptureMouse(emu_.m);
  pointerBeforeCapture_ = QCursor::pos();
  setMouseTracking(true);
  grabMouse(Qt::BlankCursor);
  // The window's own grab: on Wayland it is what keeps the pointer's events coming here.
  if (QWindow* handle = windowHandle()) handle->setMouseGrabEnabled(true);
  pointerKnown_ = false;
  RecentrePointer();
  ShowMouseHint(true);
}

void MainWindow::ShowMouseHint(bool show) {
  // The way out is shown on the picture itself, at its foot, so that it is seen at every size
  // and in full screen, where the status bar's last part may be out of sight.
  if (mouseHint_ == nullptr) {
    mouseHint_ = new QLabel(QString::fromLatin1(MessageText(kMsgMouseReleaseKey)), client_);
    mouseHint_->setObjectName(QStringLiteral("mouseReleaseHint"));
    mouseHint_->setStyleSheet(
        QStringLiteral("color: white; background: rgba(0, 0, 0, 160); padding: 2px 6px"));
    mouseHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    mouseHint_->hide();
  }
  if (!show) {
    mouseHint_->hide();
    return;
  }
  mouseHint_->adjustSize();
  const QRect picture = view_ != nullptr ? view_->Widget()->geometry() : client_->rect();
  const QRect area = picture.intersected(client_->rect());
  const int x = area.left() + std::max(0, (area.width() - mouseHint_->width()) / 2);
  const int y = std::max(area.top(), area.bottom() + 1 - mouseHint_->height() - 4);
  mouseHint_->move(x, y);
  mouseHint_->raise();
  mouseHint_->show();
}

void MainWindow::RecentrePointer() {
  // The emulated mouse reads movements from the client centre (128, 128). Where the platform
  // cannot move the pointer (Wayland) the movement goes on from wherever it is.
  const QPoint target = client_->mapToGlobal(QPoint(128, 128));
  QCursor::setPos(target);
  if (QCursor::pos() == target) {
    lastPointer_ = QPoint(128, 128);
    pointerKnown_ = true;
  }
}

void MainWindow::PointerMovedTo(QPoint client) {
  if (!pointerKnown_) {
    lastPointer_ = client;
    pointerKnown_ = true;
    return;
  }
  const int dx = std::clamp(client.x() - lastPointer_.x(), -127, 127);
  const int dy = std::clamp(client.y() - lastPointer_.y(), -127, 127);
  lastPointer_ = client;
  if (dx == 0 && dy == 0) return;
  if (MouseMoved(emu_.m, 128 + dx, 128 + dy)) RecentrePointer();
}

void MainWindow::ReleaseHostMouse() {
  if (!MouseCaptured()) return;
  ReleaseMouse(emu_.m);
  releaseMouse();
  if (QWindow* handle = windowHandle()) handle->setMouseGrabEnabled(false);
  setMouseTracking(false);
  pointerKnown_ = false;
  QCursor::setPos(pointerBeforeCapture_);
  ShowMouseHint(false);
}

std::string MainWindow::MouseInfoText() const {
  const QRect r = MouseRect();
  const QPoint p = QCursor::pos();
  const InputState& in = emu_.m.input;
  char text[320];
  std::snprintf(text, sizeof text,
                "mouse_rect.left=%d\nmouse_rect.top=%d\nmouse_rect.right=%d\n"
                "mouse_rect.bottom=%d\nmouse_pos.x=%d\nmouse_pos.y=%d\nkempston_mouse_x=%d\n"
                "kempston_mouse_y=%d",
                r.left(), r.top(), r.left() + r.width(), r.top() + r.height(), p.x(), p.y(),
                in.KempstonX, in.KempstonY);
  return text;
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!MouseCaptured()) {
    QMainWindow::mouseMoveEvent(event);
    return;
  }
  PointerMovedTo(client_->mapFrom(this, event->position().toPoint()));
  event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (!MouseCaptured()) {
    QMainWindow::mousePressEvent(event);
    return;
  }
  if (event->button() == Qt::LeftButton) MouseButton(emu_.m, 1, true);
  if (event->button() == Qt::RightButton) MouseButton(emu_.m, 2, true);
  event->accept();
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
    MouseButton(emu_.m, 0, false);
  }
  QMainWindow::mouseReleaseEvent(event);
}

// ---- focus ----

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    if (isActiveWindow()) {
      FocusGained();
    } else {
      FocusLost();
    }
  }
  QMainWindow::changeEvent(event);
}

void MainWindow::FocusGained() {
  MachineState& m = emu_.m;
  m.input.WindowForeground = 1;
  m.FocusPaused = 0;
  if (SoundShouldPlay(m)) PauseSound(m, 0);
  if (MouseCaptureWanted() && !quitting_) CaptureHostMouse();
}

void MainWindow::FocusLost() {
  MachineState& m = emu_.m;
  m.input.WindowForeground = 0;
  // Keys, keystick directions and buttons held when the focus went elsewhere would never see
  // their release.
  ReleaseHostInput(m);
  if (emu_.settings.Focus && !quitting_) {
    m.FocusPaused = 1;
    PauseSound(m, 1);
  }
  ReleaseHostMouse();
}

// ---- drops ----

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (mime->hasUrls() || mime->hasText()) {
    setFocus();
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (mime->hasUrls() || mime->hasText()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (HandleDrop(*event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

bool MainWindow::HandleDrop(const QMimeData& mime) {
  if (mime.hasUrls()) {
    // Only the first file of a drop is loaded.
    const QList<QUrl> urls = mime.urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
      OpenDroppedFile(urls.first().toLocalFile());
      return true;
    }
  }
  if (mime.hasText()) {
    TypeText(mime.text(), 0);
    return true;
  }
  return false;
}

}  // namespace orvo::ui
