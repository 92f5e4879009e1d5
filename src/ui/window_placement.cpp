#include "ui/window_placement.h"

#include <QDialog>

namespace orvo::ui {

void KeepPlacement(QDialog* dialog, Emulator& emu, Placement which) {
  const WindowPosition at = GetWindowPlacement(emu, which);
  dialog->move(at.left, at.top);
  QObject::connect(dialog, &QDialog::finished, dialog, [dialog, &emu, which] {
    SetWindowPlacement(emu, which, {dialog->x(), dialog->y()});
  });
}

}  // namespace orvo::ui
