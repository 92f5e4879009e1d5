#pragma once
// A window that opens where it was last closed: its position comes from the configuration's
// [Window Placements] when it is made and goes back there when it closes, so it is kept between
// openings and, with the configuration saved, between runs.
#include "shell/config.h"

class QDialog;

namespace orvo::ui {

void KeepPlacement(QDialog* dialog, Emulator& emu, Placement which);

}  // namespace orvo::ui
