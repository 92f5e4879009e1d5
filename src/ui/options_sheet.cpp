#include "ui/options_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <initializer_list>

#include "devices/beta128.h"
#include "machine/game_controllers.h"
#include "machine/model.h"
#include "shell/addon_commands.h"
#include "shell/config.h"
#include "shell/emulator.h"

namespace orvo::ui {

std::function<QString(QWidget*, const QString&, const QString&, const QString&)>
    OptionsSheet::chooseFile =
        [](QWidget* parent, const QString& title, const QString& dir, const QString& filter) {
          return QFileDialog::getOpenFileName(parent, title, dir, filter);
        };
std::function<QString(QWidget*, const QString&, const QString&)> OptionsSheet::chooseFolder =
    [](QWidget* parent, const QString& title, const QString& dir) {
      return QFileDialog::getExistingDirectory(parent, title, dir);
    };
std::function<QString(Emulator&, QWidget*, int)> OptionsSheet::insertDisk;
std::function<QString(const Emulator&, int)> OptionsSheet::diskName;

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A check box showing a pending flag; `changed` runs with the new state.
QCheckBox* Check(const char* label, const char* name, int32_t value,
                 std::function<void(bool)> changed) {
  auto* box = new QCheckBox(QString::fromUtf8(label));
  box->setObjectName(name);
  box->setChecked(value != 0);
  QObject::connect(box, &QCheckBox::toggled, box,
                   [changed = std::move(changed)](bool on) { changed(on); });
  return box;
}

// A check box that only toggles its pending value.
QCheckBox* FlagCheck(Emulator& emu, const char* label, const char* name, int32_t Settings::*field) {
  return Check(label, name, emu.PendingSettings.*field,
               [&emu, field](bool on) { emu.PendingSettings.*field = on ? 1 : 0; });
}

// A combo box of `items` whose index is the pending value (an out-of-range value shows none).
QComboBox* IndexCombo(const char* name, std::initializer_list<const char*> items, int index,
                      std::function<void(int)> changed) {
  auto* combo = new QComboBox;
  combo->setObjectName(name);
  for (const char* item : items) combo->addItem(QString::fromUtf8(item));
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                   [changed = std::move(changed)](int i) {
                     if (i >= 0) changed(i);
                   });
  return combo;
}

// A slider with a label beside it that follows the slider while it moves.
struct LabelledSlider {
  QSlider* slider;
  QLabel* label;
  QWidget* row;
};
LabelledSlider Slider(const char* name, int min, int max, int value,
                      std::function<QString(int)> text, std::function<void(int)> changed) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setObjectName(name);
  slider->setRange(min, max);
  slider->setValue(value);
  auto* label = new QLabel(text(slider->value()));
  label->setObjectName(QString::fromUtf8(name) + "Label");
  label->setMinimumWidth(70);
  layout->addWidget(slider, 1);
  layout->addWidget(label);
  QObject::connect(slider, &QSlider::valueChanged, slider,
                   [label, text = std::move(text), changed = std::move(changed)](int v) {
                     label->setText(text(v));
                     changed(v);
                   });
  return {slider, label, row};
}

// Radio buttons in a group box; the checked one's id is the value (none when no id matches).
// The ids are 0, 1, ... in order unless `ids` names them.
QGroupBox* Radios(const char* title, const char* name, std::initializer_list<const char*> labels,
                  int value, QButtonGroup** groupOut, std::function<void(int)> changed,
                  std::initializer_list<int> ids = {}) {
  auto* box = new QGroupBox(QString::fromUtf8(title));
  auto* layout = new QVBoxLayout(box);
  auto* group = new QButtonGroup(box);
  group->setObjectName(name);
  int index = 0;
  for (const char* label : labels) {
    const int id = ids.size() == labels.size() ? ids.begin()[index] : index;
    auto* radio = new QRadioButton(QString::fromUtf8(label));
    radio->setObjectName(QString::fromUtf8(name) + QString::number(id));
    group->addButton(radio, id);
    layout->addWidget(radio);
    if (id == value) radio->setChecked(true);
    ++index;
  }
  QObject::connect(group, &QButtonGroup::idToggled, box,
                   [changed = std::move(changed)](int which, bool on) {
                     if (on) changed(which);
                   });
  if (groupOut != nullptr) *groupOut = group;
  return box;
}

void SetCheckedQuietly(QCheckBox* box, bool on) {
  const QSignalBlocker block(box);
  box->setChecked(on);
}

QVBoxLayout* PageLayout(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  return layout;
}

struct FlagRow {
  const char* label;
  const char* name;
  int32_t Settings::*field;
};

// A page of check boxes, one per on/off setting, top to bottom.
QWidget* FlagPage(Emulator& emu, std::initializer_list<FlagRow> rows) {
  auto* page = new QWidget;
  auto* layout = PageLayout(page);
  for (const FlagRow& row : rows) layout->addWidget(FlagCheck(emu, row.label, row.name, row.field));
  layout->addStretch(1);
  return page;
}

const char* const kStickItems[] = {"None",
                                   "Kempston Joystick",
                                   "Fuller Box Joystick",
                                   "Cursor Joystick",
                                   "Sinclair Interface 2 Port 1",
                                   "Sinclair Interface 2 Port 2"};

QComboBox* StickCombo(const char* name, int value, std::function<void(int)> changed) {
  return IndexCombo(name,
                    {kStickItems[0], kStickItems[1], kStickItems[2], kStickItems[3], kStickItems[4],
                     kStickItems[5]},
                    value, std::move(changed));
}

}  // namespace

OptionsSheet::OptionsSheet(Emulator& emu, QWidget* parent, const QStringList& controllers)
    : QDialog(parent), emu_(emu) {
  BeginOptions(emu_);
  setWindowTitle(QStringLiteral("Orvo Options"));
  setObjectName(QStringLiteral("OrvoOptions"));
  if (parent != nullptr) setWindowIcon(parent->window()->windowIcon());
  setModal(true);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("optionPages"));
  tabs_->setUsesScrollButtons(false);  // all ten tabs in view
  tabs_->addTab(EmulationPage(), QStringLiteral("Emulation"));
  tabs_->addTab(HardwarePage(), QStringLiteral("Hardware"));
  tabs_->addTab(DisplayPage(), QStringLiteral("Display"));
  tabs_->addTab(SoundPage(), QStringLiteral("Sound"));
  tabs_->addTab(InputPage(controllers), QStringLiteral("Input"));
  tabs_->addTab(DebuggerPage(), QStringLiteral("Debugger"));
  tabs_->addTab(FoldersPage(), QStringLiteral("Default Folders"));
  tabs_->addTab(TapesPage(), QStringLiteral("Tapes"));
  tabs_->addTab(SnapshotsPage(), QStringLiteral("Snapshots"));
  tabs_->addTab(DisksPage(), QStringLiteral("Disks"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("buttons"));
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OptionsSheet::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

void OptionsSheet::accept() {
  if (QWidget* main = parentWidget()) {
    const QPoint pos = main->window()->pos();
    SetWindowPlacement(emu_, Placement::MainWindow, {pos.x(), pos.y()});
  }
  OptionsOk(emu_);
  QDialog::accept();
}

// ---- Emulation ----

QWidget* OptionsSheet::EmulationPage() {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);

  layout->addWidget(Check("Late Timing", "lateTiming", p.LateTiming,
                          [&emu](bool on) { OptionsSetLateTiming(emu, on); }));
  layout->addWidget(Radios("Contention", "contention", {"ZX Spectrum", "No Contention"},
                           p.Contention, nullptr,
                           [&emu](int which) { OptionsSetContention(emu, which == 1); }, {1, 0}));

  auto* form = new QFormLayout;
  const int speed = std::isfinite(p.EmulationSpeed) && p.EmulationSpeed < 100000.0f
                        ? static_cast<int>(p.EmulationSpeed)
                        : 1000;
  form->addRow(
      QStringLiteral("Emulation Speed"),
      Slider(
          "emulationSpeed", 2, 1000, speed, [](int v) { return QString::asprintf("%d%%", v); },
          [&emu](int v) { emu.PendingSettings.EmulationSpeed = static_cast<float>(v); })
          .row);
  layout->addLayout(form);

  layout->addWidget(FlagCheck(emu, "Ask before leaving Orvo", "exitMsg", &Settings::ExitMsg));
  layout->addWidget(
      FlagCheck(emu, "Pause emulation when Orvo loses focus", "focus", &Settings::Focus));
  layout->addWidget(FlagCheck(emu, "Activate Rewind Key", "rewind", &Settings::Rewind));

  auto* form2 = new QFormLayout;
  form2->addRow(QStringLiteral("Length of Delay for Rewind"),
                Slider(
                    "rewindDelay", 1, 10, p.RewindDelay,
                    [](int v) { return QString::asprintf("%dms", v * 100); },
                    [&emu](int v) { emu.PendingSettings.RewindDelay = v; })
                    .row);
  static const char* const kCpuSpeeds[] = {"3.5MHz",  "7.0MHz",  "14.0MHz",
                                           "28.0MHz", "50.0MHz", "100.0MHz"};
  form2->addRow(
      QStringLiteral("CPU Speed"),
      Slider(
          "cpuSpeed", 0, 5, p.CpuSpeed, [](int v) { return QString::fromLatin1(kCpuSpeeds[v]); },
          [&emu](int v) { emu.PendingSettings.CpuSpeed = v; })
          .row);
  layout->addLayout(form2);
  layout->addStretch(1);
  return page;
}

// ---- Hardware ----

QWidget* OptionsSheet::HardwarePage() {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);

  QButtonGroup* models = nullptr;
  layout->addWidget(Radios("Model", "model",
                           {"Spectrum 16k", "Spectrum 48k/48k+", "Spectrum 128k", "Spectrum +2",
                            "Spectrum +2A", "Spectrum +3"},
                           p.ModelType, &models, [this, &emu](int which) {
                             OptionsChooseModel(emu, which);
                             RefreshHardware();
                           }));

  auto* romRow = new QHBoxLayout;
  romRow->addWidget(new QLabel(QStringLiteral("ROM File")));
  auto* romField = new QLineEdit(Q(emu.config.PendingRomFileName));
  romField->setObjectName(QStringLiteral("romFile"));
  romField->setReadOnly(true);
  romRow->addWidget(romField, 1);
  auto* romButton = new QPushButton(QStringLiteral("Load ROM..."));
  romButton->setObjectName(QStringLiteral("romFileButton"));
  romRow->addWidget(romButton);
  layout->addLayout(romRow);
  connect(romButton, &QPushButton::clicked, this, [this, &emu] {
    // ROM images are named in either case on Linux file systems.
    const QString path = chooseFile(this, QStringLiteral("Load ROM"), Q(emu.folders.CurrentRomDir),
                                    QStringLiteral("Spectrum ROM Files (*.ROM *.rom)"));
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    OptionsChooseCustomRom(emu, path.toStdString());
    RefreshHardware();
  });

  auto* addOns = new QGroupBox(QStringLiteral("Peripherals"));
  auto* addLayout = new QVBoxLayout(addOns);
  auto* if1 = Check("Sinclair Interface 1", "interface1", p.Interface1, [this, &emu](bool on) {
    OptionsSetInterface1(emu, on);
    RefreshHardware();
  });
  auto* multiface = Check("Multiface", "multiface", p.Multiface, [this, &emu](bool on) {
    OptionsSetMultiface(emu, on);
    RefreshHardware();
  });
  auto* fuller = Check("Fuller AY Box", "fullerAy", p.FullerAy, [this, &emu](bool on) {
    OptionsSetFullerAy(emu, on);
    RefreshHardware();
  });
  // The Multiface One instead of the 128 on the 16K and 48K ("MULTIFACE" 2).
  auto* multifaceOne = Check("Multiface One (16K/48K)", "multifaceOne",
                             p.Multiface == kMultifaceOne, [this, &emu](bool on) {
                               OptionsSetMultiface(emu, on || emu.PendingSettings.Multiface != 0);
                               if (on) emu.PendingSettings.Multiface = kMultifaceOne;
                               RefreshHardware();
                             });
  addLayout->addWidget(if1);
  addLayout->addWidget(multiface);
  addLayout->addWidget(multifaceOne);
  addLayout->addWidget(fuller);
  const struct {
    const char* label;
    const char* name;
    int32_t Settings::*field;
  } others[] = {{"Cheetah SpecDrum", "specDrum", &Settings::SpecDrum},
                {"Currah µSpeech", "uSpeech", &Settings::USpeech},
                {"Fuller Orator", "fullerOrator", &Settings::FullerOrator},
                {"Z80 Is CMOS", "z80IsCmos", &Settings::Z80IsCmos}};
  for (const auto& other : others) {
    QCheckBox* box =
        Check(other.label, other.name, p.*other.field,
              [&emu, field = other.field](bool on) { OptionsSetPeripheral(emu, field, on); });
    // The speech units only where the model can take them.
    const uint8_t model = emu.m.MachineModel;
    if (other.field == &Settings::USpeech) box->setEnabled(ModelTakesAddon(model, Addon::kUSpeech));
    if (other.field == &Settings::FullerOrator)
      box->setEnabled(ModelTakesAddon(model, Addon::kOrator));
    addLayout->addWidget(box);
  }
  // The Beta 128 disk interface: a choice on the 48K, 128K and +2, built into the Pentagon.
  {
    const uint8_t model = emu.m.MachineModel;
    QCheckBox* beta = Check("Beta 128", "beta128", p.Beta128 != 0 || model == kModelPentagon,
                            [&emu](bool on) { OptionsSetPeripheral(emu, &Settings::Beta128, on); });
    beta->setEnabled(model != kModelPentagon && Beta128Wanted(model, 1));
    addLayout->addWidget(beta);
  }
  layout->addWidget(addOns);
  layout->addStretch(1);

  // The add-ons the live model cannot take are forced off in the pending copy and shown so.
  if (!OptionsInterface1Allowed(emu)) p.Interface1 = 0;
  if (!OptionsFullerAyAllowed(emu)) p.FullerAy = 0;
  if1->setEnabled(OptionsInterface1Allowed(emu));
  fuller->setEnabled(OptionsFullerAyAllowed(emu));
  SetCheckedQuietly(if1, p.Interface1 != 0);
  SetCheckedQuietly(fuller, p.FullerAy != 0);
  return page;
}

void OptionsSheet::RefreshHardware() {
  const Settings& p = emu_.PendingSettings;
  if (auto* field = findChild<QLineEdit*>(QStringLiteral("romFile")))
    field->setText(Q(emu_.config.PendingRomFileName));
  if (auto* group = findChild<QButtonGroup*>(QStringLiteral("model"))) {
    const QSignalBlocker block(group);
    if (p.ModelType >= 0 && p.ModelType < 6) {
      if (QAbstractButton* b = group->button(p.ModelType)) {
        const QSignalBlocker blockButton(b);
        b->setChecked(true);
      }
    } else if (QAbstractButton* checked = group->checkedButton()) {
      // Custom: no model radio stays chosen.
      group->setExclusive(false);
      const QSignalBlocker blockButton(checked);
      checked->setChecked(false);
      group->setExclusive(true);
    }
  }
  const struct {
    const char* name;
    int32_t value;
  } boxes[] = {{"interface1", p.Interface1}, {"multiface", p.Multiface}, {"fullerAy", p.FullerAy}};
  for (const auto& b : boxes)
    if (auto* box = findChild<QCheckBox*>(QString::fromLatin1(b.name)))
      SetCheckedQuietly(box, b.value != 0);
  if (auto* box = findChild<QCheckBox*>(QStringLiteral("multifaceOne")))
    SetCheckedQuietly(box, p.Multiface == kMultifaceOne);
  if (auto* issue = findChild<QComboBox*>(QStringLiteral("keyboardIssue"))) {
    const QSignalBlocker block(issue);
    issue->setCurrentIndex(p.KeyboardIssue >= 0 && p.KeyboardIssue < 2 ? p.KeyboardIssue : -1);
  }
}

// ---- Display ----

QWidget* OptionsSheet::DisplayPage() {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);

  auto* shader = IndexCombo(
      "shader", {"No Shader", "One Pass", "Dotmask", "Scanlines", "Curved CRT", "Aperture"},
      p.OptShader, [&emu](int i) { emu.PendingSettings.OptShader = i; });
  shader->setEnabled(p.DrawMode == 2);
  layout->addWidget(Radios("Display Method", "drawMode", {"Software", "OpenGL", "OpenGL Shaders"},
                           p.DrawMode, nullptr, [&emu, shader](int which) {
                             emu.PendingSettings.DrawMode = which;
                             shader->setEnabled(which == 2);
                           }));
  layout->addWidget(FlagCheck(emu, "ULAplus 64 Colour Mode", "ulaPlus", &Settings::UlaPlus));
  layout->addWidget(FlagCheck(emu, "ULA Snow Effect", "ulaSnow", &Settings::UlaSnow));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Colours"),
               IndexCombo("colours",
                          {"Default Colours", "Black & White", "Green Screen", "Amber Screen",
                           "Accurate Colours", "Tarrow Colours"},
                          p.Colours, [&emu](int i) { emu.PendingSettings.Colours = i; }));
  form->addRow(QStringLiteral("Frameskip"),
               Slider(
                   "frameskip", 1, 11, p.Frameskip, [](int v) { return QString::number(v); },
                   [&emu](int v) { emu.PendingSettings.Frameskip = v; })
                   .row);
  form->addRow(
      QStringLiteral("Disable Attributes"),
      IndexCombo("disableAttributes", {"None", "Display", "Border", "Both", "Paper", "Ink"},
                 p.DisableAttributes,
                 [&emu](int i) { emu.PendingSettings.DisableAttributes = i; }));
  form->addRow(QStringLiteral("Shader"), shader);
  layout->addLayout(form);

  // A live flag of the display, switched at once and not stored.
  layout->addWidget(Check("Disable window positioning", "disableWindowPositioning",
                          emu.config.DisableWindowPositioning ? 1 : 0,
                          [&emu](bool on) { emu.config.DisableWindowPositioning = on; }));
  layout->addStretch(1);
  return page;
}

// ---- Sound ----

QWidget* OptionsSheet::SoundPage() {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);
  layout->addWidget(FlagCheck(emu, "Sound Enabled", "sound", &Settings::Sound));
  layout->addWidget(FlagCheck(emu, "AY-3-8912 in 48K", "ay48k", &Settings::Ay48k));

  auto* form = new QFormLayout;
  form->addRow(
      QStringLiteral("Volume"),
      Slider(
          "volume", 0, 10, p.SoundVolume / 10, [](int v) { return QString::number(v * 10); },
          [&emu](int v) { emu.PendingSettings.SoundVolume = v * 10; })
          .row);
  form->addRow(QStringLiteral("Output Mode"),
               IndexCombo("output", {"Mono", "ABC Stereo", "ACB Stereo"}, p.Output,
                          [&emu](int i) { emu.PendingSettings.Output = i; }));
  form->addRow(QStringLiteral("Sound Enhancement"),
               IndexCombo("effect", {"None", "Echo", "Reverb"}, p.Effect,
                          [&emu](int i) { emu.PendingSettings.Effect = i; }));
  static const int kRates[] = {11025, 22050, 44100};
  int rate = -1;
  for (int i = 0; i < 3; ++i)
    if (p.Freq == kRates[i]) rate = i;
  form->addRow(QStringLiteral("Frequency"),
               IndexCombo("frequency", {"11025", "22050", "44100"}, rate,
                          [&emu](int i) { emu.PendingSettings.Freq = kRates[i]; }));
  form->addRow(QStringLiteral("Bit Depth"),
               IndexCombo("bitDepth", {" 8", "16"},
                          p.SoundBits == 8    ? 0
                          : p.SoundBits == 16 ? 1
                                              : -1,
                          [&emu](int i) { emu.PendingSettings.SoundBits = i == 0 ? 8 : 16; }));
  layout->addLayout(form);
  layout->addStretch(1);
  return page;
}

// ---- Input ----

QWidget* OptionsSheet::InputPage(const QStringList& controllers) {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);

  auto* form = new QFormLayout;
  auto* issue = IndexCombo("keyboardIssue", {"Issue 2", "Issue 3"}, p.KeyboardIssue,
                           [&emu](int i) { emu.PendingSettings.KeyboardIssue = i; });
  issue->setEnabled(OptionsKeyboardIssueEnabled(emu));
  form->addRow(QStringLiteral("Issue Emulation"), issue);
  form->addRow(QStringLiteral("Spool Speed"),
               Slider(
                   "spoolSpeed", 5, 30, p.SpoolSpeed, [](int v) { return QString::number(v); },
                   [&emu](int v) { emu.PendingSettings.SpoolSpeed = v; })
                   .row);
  layout->addLayout(form);

  auto* keyboard = new QGroupBox(QStringLiteral("Keyboard"));
  auto* keyboardForm = new QFormLayout(keyboard);
  auto* keystick = StickCombo("keystickType", p.KeystickType, [](int) {});
  keyboardForm->addRow(QStringLiteral("Emulates"), keystick);
  layout->addWidget(keyboard);

  auto* joysticks = new QGroupBox(QStringLiteral("Joysticks"));
  auto* joystickForm = new QFormLayout(joysticks);
  auto* current = new QComboBox;
  current->setObjectName(QStringLiteral("currentJoystick"));
  auto* joystick = StickCombo("joystickType", p.JoystickType, [](int) {});
  // The attached controllers' names, the chosen one found again by its name. Without a game
  // controller there is nothing to choose.
  const auto fill = [&emu, current, joystick](const QStringList& names) {
    const QSignalBlocker block(current);
    current->clear();
    current->addItems(names);
    const Settings& pending = emu.PendingSettings;
    int index = names.indexOf(QString::fromStdString(pending.CurrentJoystickName));
    if (index < 0 && pending.CurrentJoystickName.empty() && pending.CurrentJoystick >= 0 &&
        pending.CurrentJoystick < names.size()) {
      index = pending.CurrentJoystick;
    }
    if (index < 0) index = names.isEmpty() ? -1 : 0;
    current->setCurrentIndex(index);
    if (index >= 0) emu.PendingSettings.CurrentJoystick = index;
    current->setEnabled(!names.isEmpty());
    joystick->setEnabled(!names.isEmpty());
  };
  const auto hostNames = [&emu](bool refresh) {
    QStringList names;
    GameControllers* host = emu.host.Controllers();
    if (host == nullptr) return names;
    if (refresh) host->Refresh();
    for (const std::string& name : host->Names()) names << QString::fromStdString(name);
    return names;
  };
  fill(controllers.isEmpty() ? hostNames(true) : controllers);
  connect(current, &QComboBox::currentIndexChanged, this, [&emu, current](int i) {
    if (i < 0) return;
    emu.PendingSettings.CurrentJoystick = i;
    emu.PendingSettings.CurrentJoystickName = current->itemText(i).toStdString();
  });
  // Controllers plugged in or pulled out while the page is open join or leave the list.
  if (controllers.isEmpty() && emu.host.Controllers() != nullptr) {
    auto* hotPlug = new QTimer(current);
    hotPlug->setObjectName(QStringLiteral("controllerHotPlug"));
    connect(hotPlug, &QTimer::timeout, current, [&emu, fill, hostNames] {
      if (emu.host.Controllers()->Refresh()) fill(hostNames(false));
    });
    hotPlug->start(500);
  }
  joystickForm->addRow(QStringLiteral("Joystick"), current);
  joystickForm->addRow(QStringLiteral("Emulates"), joystick);
  layout->addWidget(joysticks);

  connect(keystick, &QComboBox::currentIndexChanged, this, [&emu, joystick](int i) {
    if (i < 0) return;
    OptionsSetKeystickType(emu, i);
    const QSignalBlocker block(joystick);
    joystick->setCurrentIndex(emu.PendingSettings.JoystickType);
  });
  connect(joystick, &QComboBox::currentIndexChanged, this, [&emu, keystick](int i) {
    if (i < 0) return;
    OptionsSetJoystickType(emu, i);
    const QSignalBlocker block(keystick);
    keystick->setCurrentIndex(emu.PendingSettings.KeystickType);
  });

  auto* form2 = new QFormLayout;
  form2->addRow(QStringLiteral("Mouse"),
                IndexCombo("mouseType", {"None", "AMX Mouse", "Kempston Mouse"}, p.MouseType,
                           [&emu](int i) { emu.PendingSettings.MouseType = i; }));
  layout->addLayout(form2);
  layout->addWidget(
      FlagCheck(emu, "Recreated Spectrum", "recreatedSpectrum", &Settings::RecreatedSpectrum));
  layout->addStretch(1);
  return page;
}

// ---- Debugger ----

QWidget* OptionsSheet::DebuggerPage() {
  return FlagPage(emu_, {{"Display Basic", "basic", &Settings::Basic},
                         {"ROM Labels", "disRom", &Settings::DisRom},
                         {"System Variables", "disSave", &Settings::DisSave}});
}

// ---- Default Folders ----

QWidget* OptionsSheet::FoldersPage() {
  Emulator& emu = emu_;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);
  auto* grid = new QGridLayout;
  static const char* const kRows[4] = {"ROMS", "Snapshots", "Tapes", "Downloads"};
  static const char* const kTitles[4] = {
      "Select a folder for ROMS", "Select a folder for snapshots", "Select a folder for tapes",
      "Select a folder for downloads"};
  static const char* const kNames[4] = {"romFolder", "snapFolder", "tapeFolder", "downloadFolder"};
  for (int row = 0; row < 4; ++row) {
    grid->addWidget(new QLabel(QString::fromLatin1(kRows[row])), row, 0);
    auto* field = new QLineEdit(Q(FolderFieldText(*OptionsPendingFolder(emu, row))));
    field->setObjectName(QString::fromLatin1(kNames[row]));
    field->setMaxLength(80);
    grid->addWidget(field, row, 1);
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setObjectName(QString::fromLatin1(kNames[row]) + "Button");
    grid->addWidget(browse, row, 2);
    connect(field, &QLineEdit::textEdited, this, [&emu, row](const QString& text) {
      OptionsSetFolderFromText(emu, row, text.toStdString());
    });
    connect(browse, &QPushButton::clicked, this, [this, &emu, row, field] {
      const QString folder =
          chooseFolder(this, QString::fromLatin1(kTitles[row]), Q(*OptionsPendingFolder(emu, row)));
      if (folder.isEmpty()) return;
      OptionsSetFolderFromPicker(emu, row, folder.toStdString());
      field->setText(Q(*OptionsPendingFolder(emu, row)));
    });
  }
  layout->addLayout(grid);
  layout->addStretch(1);
  return page;
}

// ---- Tapes ----

QWidget* OptionsSheet::TapesPage() {
  return FlagPage(emu_, {{"Tape Traps", "tapeTraps", &Settings::TapeTraps},
                         {"Tape Wobble", "tapeWobble", &Settings::TapeWobble},
                         {"Autoload", "autoload", &Settings::Autoload},
                         {"Fastload", "fastload", &Settings::Fastload},
                         {"Invert Tape Polarity", "polarity", &Settings::Polarity}});
}

// ---- Snapshots ----

QWidget* OptionsSheet::SnapshotsPage() {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);
  auto* save1ffd =
      FlagCheck(emu, "SAVE Port 1FFD byte (3.xx only)", "save1ffd", &Settings::Save1FFD);
  save1ffd->setEnabled(p.Z80Version == 3);
  // Radio ids are the version numbers less one.
  layout->addWidget(Radios("Save Z80 As", "z80Version", {"v1.45", "v2.xx", "v3.xx"},
                           p.Z80Version - 1, nullptr, [&emu, save1ffd](int which) {
                             emu.PendingSettings.Z80Version = which + 1;
                             save1ffd->setEnabled(which == 2);
                           }));
  layout->addWidget(save1ffd);
  layout->addWidget(
      FlagCheck(emu, "Instant snapshot save", "snapshotSave", &Settings::SnapshotSave));
  layout->addStretch(1);
  return page;
}

// ---- Disks ----

QWidget* OptionsSheet::DisksPage() {
  Emulator& emu = emu_;
  Settings& p = emu.PendingSettings;
  auto* page = new QWidget;
  auto* layout = PageLayout(page);
  auto* form = new QFormLayout;
  // 255 is what OK makes of "None" on the +3.
  const int crc = p.CrcByte == 255 ? 2 : p.CrcByte;
  form->addRow(QStringLiteral("CRC Randomise Byte"),
               IndexCombo("crcByte", {"First Byte", "Last Byte", "None"}, crc,
                          [&emu](int i) { emu.PendingSettings.CrcByte = i; }));
  layout->addLayout(form);
  layout->addWidget(FlagCheck(emu, "Disk fastload", "diskFastLoad", &Settings::DiskFastLoad));
  layout->addWidget(FlagCheck(emu, "Disk autoload", "diskAutoload", &Settings::DiskAutoload));

  auto* grid = new QGridLayout;
  static const char* const kDrives[2] = {"Disk A:", "Disk B:"};
  for (int drive = 0; drive < 2; ++drive) {
    grid->addWidget(new QLabel(QString::fromLatin1(kDrives[drive])), drive, 0);
    auto* field = new QLineEdit(diskName ? diskName(emu, drive) : QString());
    field->setObjectName(drive == 0 ? QStringLiteral("diskA") : QStringLiteral("diskB"));
    field->setReadOnly(true);
    grid->addWidget(field, drive, 1);
    auto* insert = new QPushButton(QStringLiteral("Insert..."));
    insert->setObjectName(drive == 0 ? QStringLiteral("diskAButton")
                                     : QStringLiteral("diskBButton"));
    insert->setEnabled(static_cast<bool>(insertDisk));
    grid->addWidget(insert, drive, 2);
    connect(insert, &QPushButton::clicked, this, [this, &emu, drive, field] {
      if (insertDisk) field->setText(insertDisk(emu, this, drive));
    });
  }
  layout->addLayout(grid);
  layout->addStretch(1);
  return page;
}

bool ShowOptionsSheet(QWidget* parent, Emulator& emu) {
  OptionsSheet sheet(emu, parent);
  return sheet.exec() == QDialog::Accepted;
}

}  // namespace orvo::ui
