#pragma once
// The "Microdrives" window: the eight drives with their cartridges, a protect check box and an
// activity light for each, and the buttons that insert, create and eject cartridges.
namespace orvo::ui {

class MainWindow;

// Opens the window, or brings the open one to the front.
void ShowMicrodrivesWindow(MainWindow& window);

}  // namespace orvo::ui
