#pragma once
// The add-ons that bring ROM images of their own (the Multiface, the Currah µSpeech) and the
// Interface II cartridge commands of the File menu.
#include <cstdint>
#include <string>

namespace orvo {

class Emulator;

// "MULTIFACE": 0 none, 1 the Multiface 128 (or the Multiface 3 on the +2A/+3), 2 the Multiface One
// on the 16K, 48K and Custom (the 128 elsewhere).
inline constexpr int kMultifaceOne = 2;

// Loads the ROM images of the add-ons switched on: "MF128.rom", "MF3.rom" or "mf1.rom" (8192 bytes)
// for the Multiface and "currah.rom" (2048 bytes) for the µSpeech, from the ROM folders.
// A missing or wrongly sized image shows message 2 or 3 under "Orvo Error" and leaves its add-on
// without an image, which keeps it off (the setting is kept); an add-on switched off loses its
// image. Called by SetUpMachine.
void LoadAddonRoms(Emulator& emu);

// The add-ons that plug into the expansion connector, and the models each works with. The +2A and
// +3 lack the connector signals the Interface 1 (with its Microdrives), the ZX Printer and the
// Interface II need; the Interface 1 pages its ROM in at addresses of the Sinclair ROM, so not on
// the Custom model either. The µSpeech pages itself in through the 48 BASIC ROM (the 16K, 48K,
// Custom, and the 128K and +2 in 48 BASIC); the Fuller Orator answers on the 48K family's ports.
enum class Addon : uint8_t { kInterface1, kPrinter, kInterface2, kUSpeech, kOrator };
bool ModelTakesAddon(uint8_t model, Addon addon);
// The refusal naming the model: "the ZX Spectrum +3 takes no Interface 1".
std::string AddonRefusal(uint8_t model, Addon addon);

// Whether the model takes an Interface II cartridge (the 16K, 48K, 128K and +2).
bool Interface2Allowed(const Emulator& emu);
// Interface II "Insert" after the file dialog: the path becomes the current file path; a name not
// ending in ".rom" shows message 22 under "Orvo File", a missing file message 8, a file other than
// 16384 bytes message 3. Otherwise the cartridge goes in, the memory map starts afresh, the machine
// is reset (soft) and every key released. Returns 0 when the cartridge went in.
int InsertInterface2Cartridge(Emulator& emu, const std::string& path);
// Interface II "Remove": the machine's own memory map again, and a soft reset.
void RemoveInterface2Cartridge(Emulator& emu);

}  // namespace orvo
