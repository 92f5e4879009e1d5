// "Orvo Options": the pages, the rules between their controls, and what OK and Cancel do to the
// live machine (offscreen platform, no main window needed).
#include "ui/options_sheet.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <tuple>
#include <utility>

#include "machine/game_controllers.h"
#include "machine/model.h"
#include "shell/config.h"
#include "shell/emulator.h"
#include "shell/machine_setup.h"
#include "support/recording_host.h"
#include "support/test_paths.h"

namespace orvo::ui {
namespace {

class OptionsSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    emu = std::make_unique<Emulator>(host);
    Folders& f = emu->folders;
    f.ProgramFolder = dir_.path().toStdString();
    f.ConfigFolder = f.ProgramFolder;
    f.ConfiguredRomDir = f.CurrentRomDir = orvo::test::RomDir().string() + "/";
    f.ConfiguredTapeDir = f.CurrentTapeDir = "/tapes/";
    SetUpMachine(*emu);
    ResetMachine(*emu, true);
    SetRomFileNameFromModel(*emu);
    savedChooseFile_ = OptionsSheet::chooseFile;
    savedChooseFolder_ = OptionsSheet::chooseFolder;
  }
  void TearDown() override {
    sheet.reset();
    OptionsSheet::chooseFile = savedChooseFile_;
    OptionsSheet::chooseFolder = savedChooseFolder_;
  }

  void Open(const QStringList& controllers = {}) {
    sheet = std::make_unique<OptionsSheet>(*emu, nullptr, controllers);
    sheet->show();
  }
  template <typename T>
  T* Find(const char* name) {
    T* w = sheet->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  void Press(QDialogButtonBox::StandardButton b) {
    Find<QDialogButtonBox>("buttons")->button(b)->click();
  }

  QTemporaryDir dir_;
  orvo::test::RecordingHost host;
  std::unique_ptr<Emulator> emu;
  std::unique_ptr<OptionsSheet> sheet;

 private:
  decltype(OptionsSheet::chooseFile) savedChooseFile_;
  decltype(OptionsSheet::chooseFolder) savedChooseFolder_;
};

// The pages show the live settings where a control's index is not the setting's value.
TEST_F(OptionsSheetTest, PagesShowTheLiveSettings) {
  emu->m.settings.SoundVolume = 70;
  emu->m.settings.Z80Version = 2;
  emu->settings.CrcByte = 255;
  emu->settings.KeyboardIssue = 0;
  Open();
  EXPECT_EQ(Find<QSlider>("volume")->value(), 7);
  EXPECT_TRUE(Find<QRadioButton>("z80Version1")->isChecked());
  EXPECT_EQ(Find<QComboBox>("crcByte")->currentText(), "None");
  EXPECT_EQ(Find<QLineEdit>("tapeFolder")->text(), "/tapes/");
  // The keyboard issue is chosen on the 48K only; the 128K is an issue 3 machine.
  auto* issue = Find<QComboBox>("keyboardIssue");
  EXPECT_EQ(issue->currentText(), "Issue 2");
  EXPECT_TRUE(issue->isEnabled());
  Click("model2");
  EXPECT_EQ(emu->PendingSettings.KeyboardIssue, 1);
  EXPECT_EQ(issue->currentText(), "Issue 3");
  EXPECT_EQ(Find<QLineEdit>("romFile")->text(), "128k.ROM");
}

// Controllers plugged in and pulled out while the page is open fill and empty the "Joystick"
// list; the chosen one is found again by its name wherever it comes.
class FakeControllers final : public GameControllers {
 public:
  bool Refresh() override { return std::exchange(changed, false); }
  std::vector<std::string> Names() override { return names; }
  bool Read(int, ControllerReading&) override { return false; }
  void Plug(std::vector<std::string> now) {
    names = std::move(now);
    changed = true;
  }
  std::vector<std::string> names;
  bool changed = false;
};
TEST_F(OptionsSheetTest, ControllerListFollowsHotPlugAndKeepsTheChoiceByName) {
  FakeControllers pads;
  host.controllers = &pads;
  emu->settings.CurrentJoystickName = "Pad B";
  pads.Plug({"Pad A", "Pad B"});
  Open();
  auto* list = Find<QComboBox>("currentJoystick");
  EXPECT_EQ(list->currentText(), "Pad B");
  EXPECT_EQ(emu->PendingSettings.CurrentJoystick, 1);
  pads.Plug({});
  QTest::qWait(700);
  EXPECT_EQ(list->count(), 0);
  EXPECT_FALSE(list->isEnabled());
  pads.Plug({"Pad C", "Pad A", "Pad B"});
  QTest::qWait(700);
  EXPECT_EQ(list->count(), 3);
  EXPECT_TRUE(list->isEnabled());
  EXPECT_EQ(list->currentText(), "Pad B");
  EXPECT_EQ(emu->PendingSettings.CurrentJoystick, 2);
  list->setCurrentIndex(0);
  EXPECT_EQ(emu->PendingSettings.CurrentJoystickName, "Pad C");
}

TEST_F(OptionsSheetTest, ControlsThatExcludeOrEnableEachOther) {
  emu->m.settings.JoystickType = 1;
  Open({"Pad One", "Pad Two"});
  auto* multiface = Find<QCheckBox>("multiface");
  auto* fuller = Find<QCheckBox>("fullerAy");
  Click("fullerAy");
  Click("multiface");
  EXPECT_TRUE(multiface->isChecked());
  EXPECT_FALSE(fuller->isChecked());
  Click("fullerAy");
  EXPECT_FALSE(multiface->isChecked());
  EXPECT_EQ(emu->PendingSettings.Multiface, 0);

  auto* keystick = Find<QComboBox>("keystickType");
  auto* joystick = Find<QComboBox>("joystickType");
  EXPECT_EQ(Find<QComboBox>("currentJoystick")->count(), 2);
  EXPECT_TRUE(joystick->isEnabled());
  keystick->setCurrentIndex(3);
  EXPECT_EQ(joystick->currentText(), "None");
  EXPECT_EQ(emu->PendingSettings.JoystickType, 0);
  joystick->setCurrentIndex(4);
  EXPECT_EQ(keystick->currentText(), "None");
  EXPECT_EQ(emu->PendingSettings.KeystickType, 0);
  EXPECT_EQ(joystick->currentText(), "Sinclair Interface 2 Port 1");

  // The shader list is for the shader method; the 0x1FFD choice for version 3 files.
  auto* shader = Find<QComboBox>("shader");
  EXPECT_FALSE(shader->isEnabled());
  Click("drawMode2");
  EXPECT_TRUE(shader->isEnabled());
  EXPECT_TRUE(Find<QCheckBox>("save1ffd")->isEnabled());
  Click("z80Version0");
  EXPECT_FALSE(Find<QCheckBox>("save1ffd")->isEnabled());
  EXPECT_EQ(emu->PendingSettings.Z80Version, 1);
}

// The Beta 128 is a choice on the 48K, 128K and +2 (a hardware change), built into the Pentagon
// (checked, not to be changed) and not offered on the +3.
TEST_F(OptionsSheetTest, TheBetaBoxFollowsTheModel) {
  Open();
  auto* beta = Find<QCheckBox>("beta128");
  EXPECT_TRUE(beta->isEnabled());
  EXPECT_FALSE(beta->isChecked());
  Click("beta128");
  EXPECT_EQ(emu->PendingSettings.Beta128, 1);
  EXPECT_TRUE(emu->config.HardwareChanged);
  sheet.reset();
  for (const auto& [model, enabled, checked] :
       {std::tuple{kModelPentagon, false, true}, std::tuple{kModelPlus3, false, false}}) {
    emu->m.MachineModel = model;
    emu->settings.Beta128 = 0;
    Open();
    beta = Find<QCheckBox>("beta128");
    EXPECT_EQ(beta->isEnabled(), enabled) << static_cast<int>(model);
    EXPECT_EQ(beta->isChecked(), checked) << static_cast<int>(model);
    sheet.reset();
  }
}

TEST_F(OptionsSheetTest, CancelChangesNothingLive) {
  emu->m.RamBlock[0x8000] = 0x42;
  Open();
  Click("model5");
  Click("multiface");
  Click("tapeTraps");
  Find<QSlider>("frameskip")->setValue(6);
  Find<QComboBox>("output")->setCurrentIndex(0);
  OptionsSheet::chooseFolder = [](QWidget*, const QString&, const QString&) {
    return QStringLiteral("/new/roms");
  };
  Click("romFolderButton");
  QTest::keyClicks(Find<QLineEdit>("downloadFolder"), "/x");
  // Except this one, which acts at once.
  Click("disableWindowPositioning");
  Press(QDialogButtonBox::Cancel);
  EXPECT_EQ(sheet->result(), QDialog::Rejected);
  EXPECT_EQ(emu->m.MachineModel, kModel48K);
  EXPECT_EQ(emu->settings.Multiface, 0);
  EXPECT_EQ(emu->m.settings.TapeTraps, 0);
  EXPECT_EQ(emu->m.settings.Frameskip, 1);
  EXPECT_EQ(emu->m.settings.Output, 1);
  EXPECT_EQ(emu->folders.CurrentRomDir, orvo::test::RomDir().string() + "/");
  EXPECT_EQ(emu->config.PendingRomDir, "/new/roms/");  // what OK would have taken
  EXPECT_TRUE(emu->config.PendingDownloadDir.ends_with("/x"));
  EXPECT_EQ(emu->m.RamBlock[0x8000], 0x42);
  EXPECT_TRUE(emu->config.DisableWindowPositioning);
}

// OK applies what the controls say; with a hardware change it resets the machine as well.
TEST_F(OptionsSheetTest, OkAppliesTheControlsAndResetsOnAHardwareChange) {
  emu->m.RamBlock[0x8000] = 0x42;
  Open();
  Click("tapeTraps");
  Find<QSlider>("emulationSpeed")->setValue(250);
  EXPECT_EQ(Find<QLabel>("emulationSpeedLabel")->text(), "250%");
  Find<QSlider>("rewindDelay")->setValue(3);
  EXPECT_EQ(Find<QLabel>("rewindDelayLabel")->text(), "300ms");
  Find<QSlider>("cpuSpeed")->setValue(2);
  EXPECT_EQ(Find<QLabel>("cpuSpeedLabel")->text(), "14.0MHz");
  Find<QSlider>("volume")->setValue(9);
  Find<QComboBox>("frequency")->setCurrentIndex(0);
  Press(QDialogButtonBox::Ok);
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_EQ(emu->m.RamBlock[0x8000], 0x42);
  EXPECT_EQ(emu->m.settings.TapeTraps, 1);
  EXPECT_EQ(emu->m.settings.EmulationSpeed, 250.0f);
  EXPECT_EQ(emu->settings.RewindDelay, 3);
  EXPECT_EQ(emu->settings.CpuSpeed, 2);
  EXPECT_EQ(emu->m.settings.SoundVolume, 90);
  EXPECT_EQ(emu->m.settings.Freq, 11025);

  Open();
  Click("model2");
  Press(QDialogButtonBox::Ok);
  EXPECT_EQ(emu->m.MachineModel, kModel128K);
  EXPECT_EQ(emu->m.FrameLength, 70908u);
  EXPECT_EQ(emu->m.RamBlock[0x8000], 0);
}

TEST_F(OptionsSheetTest, RomFileButtonChoosesTheCustomModel) {
  QString seenTitle, seenDir, seenFilter;
  const std::string rom = (orvo::test::RomDir() / "48.rom").string();
  OptionsSheet::chooseFile = [&](QWidget*, const QString& title, const QString& dir,
                                 const QString& filter) {
    seenTitle = title;
    seenDir = dir;
    seenFilter = filter;
    return QString::fromStdString(rom);
  };
  Open();
  Click("romFileButton");
  EXPECT_EQ(seenTitle, "Load ROM");
  EXPECT_EQ(seenDir.toStdString(), emu->folders.CurrentRomDir);
  EXPECT_TRUE(seenFilter.startsWith("Spectrum ROM Files (*.ROM"));
  if (!QFileInfo::exists(QString::fromStdString(rom)))
    ORVO_MISSING_SHARED_DATA("missing test file: " << rom);
  EXPECT_EQ(Find<QLineEdit>("romFile")->text(), "48.rom");
  EXPECT_FALSE(Find<QRadioButton>("model1")->isChecked());
  Press(QDialogButtonBox::Ok);
  EXPECT_EQ(emu->m.MachineModel, kModelCustom);
  EXPECT_EQ(emu->settings.CustomRomPath, rom);
  EXPECT_EQ(emu->config.RomFileName, "48.rom");
}

}  // namespace
}  // namespace orvo::ui
