#pragma once
// The ULAplus palette editor: the 64 entries as swatches (four CLUTs of 8 ink and 8 paper
// colours); the chosen entry is edited as its green, red and blue levels; the palette loads from
// and saves to the 64-byte palette file.
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <array>

#include "ui/tools/tool_window.h"

namespace orvo::ui {

class UlaPlusEditorWindow final : public ToolWindow {
  Q_OBJECT
 public:
  explicit UlaPlusEditorWindow(MainWindow& main);
  void Select(int entry);
  bool LoadPalette(const QString& path);
  bool SavePalette(const QString& path);
  QLabel* entryText() const { return entryText_; }
  QSpinBox* green() const { return green_; }

 private:
  void Refresh();
  void Store();
  std::array<QPushButton*, 64> swatches_{};
  QLabel* entryText_;
  QSpinBox* green_;
  QSpinBox* red_;
  QSpinBox* blue_;
  int selected_ = 0;
  bool refreshing_ = false;
};

}  // namespace orvo::ui
