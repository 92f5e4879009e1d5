#pragma once
// "View Microdrive Cartridge": a debugging look at one sector of a cartridge in a drive, its
// header and data block as bytes and text.
namespace orvo::ui {

class MainWindow;

// Opens the viewer when a drive holds a cartridge; otherwise shows message 126 "Debug: No
// Microdrive cartridge inserted" under "Orvo Debug".
void ShowCartridgeViewer(MainWindow& window);

}  // namespace orvo::ui
