#pragma once
// "View Printer Buffer": a debugging look at the ZX Printer's paper buffer, line by line as the
// bytes of dots the stylus burnt, with the printer's flags and counters above them.
namespace orvo::ui {

class MainWindow;

// Opens the view (or brings it forward). The machine stands still while it is made; the view then
// follows the printing.
void ShowPrinterBufferView(MainWindow& window);

}  // namespace orvo::ui
