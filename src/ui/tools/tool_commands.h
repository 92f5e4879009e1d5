#pragma once
// The Tools menu's commands and the File menu's binary and screen commands.
namespace orvo::ui {

class MainWindow;

void PokeMemoryCommand(MainWindow& w);
void PokeFinderCommand(MainWindow& w);
void SpriteSearchCommand(MainWindow& w);
void CalculatorCommand(MainWindow& w);
void UlaPlusEditorCommand(MainWindow& w);
void KeyboardHelperCommand(MainWindow& w);
void MemoryMapCommand(MainWindow& w);
void SnapshotAnalyserCommand(MainWindow& w);
void LoadBinaryCommand(MainWindow& w);
void SaveBinaryCommand(MainWindow& w);
void SaveScreenCommand(MainWindow& w);

}  // namespace orvo::ui
