#pragma once
// Host input into the emulated machine: the keyboard matrix from host keys (Windows virtual-key
// numbers, which the front end produces from its own key events), the Recreated Spectrum
// keyboard's character protocol, the keystick and game controller as joysticks, and the mouse.
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvo {

struct MachineState;

// One key of the Spectrum keyboard: half-row 0-7 and bit 0-4 (see InputState::KeyRows).
struct SpectrumKey {
  uint8_t row;
  uint8_t bit;
  bool operator==(const SpectrumKey&) const = default;
};

constexpr SpectrumKey kKeyCapsShift{0, 0};
constexpr SpectrumKey kKeySymbolShift{7, 1};
constexpr SpectrumKey kKeyEnter{6, 0};
constexpr SpectrumKey kKeySpace{7, 0};

// The key that carries a digit '0'-'9' or a letter 'A'-'Z' / 'a'-'z'; false for anything else.
bool SpectrumKeyFor(char c, SpectrumKey& key);
// Parses "SS+P", "ENTER", "CS+5", "SPACE", "A": key names joined by '+'. Names: a letter or
// digit, CS (CAPS, CAPSSHIFT), SS (SYM, SYMBOLSHIFT), ENTER (RETURN), SPACE. Case-insensitive.
bool ParseSpectrumKeys(std::string_view text, std::vector<SpectrumKey>& keys);
void PressSpectrumKey(MachineState& m, SpectrumKey key);
void ReleaseSpectrumKey(MachineState& m, SpectrumKey key);

// Every half-row to 0xFF.
void ReleaseAllKeys(MachineState& m);
// The window lost the focus: the matrix, the keystick's keys and the mouse buttons are all let
// go, since their releases will go to another window.
void ReleaseHostInput(MachineState& m);

// Host key pressed or released; `vk` is the Windows virtual-key number and `shiftDown` whether
// the host Shift key is down. They act only while the main window is in front, no text is being
// typed in and the Recreated Spectrum protocol is off; the keystick's five keys are noted in any
// case, and while the keystick is on they press nothing on the matrix.
void KeyDown(MachineState& m, int vk, bool shiftDown);
void KeyUp(MachineState& m, int vk, bool shiftDown);

// A host key that stands for a character (a punctuation key, whatever the host's layout puts on
// it): the character's SYMBOL SHIFT combination is pressed, with CAPS SHIFT let go. False, with
// nothing pressed, for a character no SYMBOL SHIFT key types, or while keys are not taken.
// CharacterKeyUp lets go of what CharacterKeyDown pressed for `c`.
bool CharacterKeyDown(MachineState& m, char32_t c);
void CharacterKeyUp(MachineState& m, char32_t c);

// A character from a Recreated Spectrum keyboard (only while "Recreated Spectrum" is on).
void RecreatedChar(MachineState& m, uint8_t ch);

// The keystick and the game controller as the port decoder sees them. With v = 0 they give the
// Kempston (type 1) or Fuller (type 2) byte; with a ULA read's value and port high byte they
// apply the cursor and Interface II types (3 to 5).
uint8_t KeystickValue(const MachineState& m, uint8_t v, uint8_t high);
uint8_t JoystickValue(const MachineState& m, uint8_t v, uint8_t high);
// The game controller's reading, once per frame by the joystick poll (-1000..+1000 axes).
void SetJoystickState(MachineState& m, int32_t x, int32_t y, bool fire);

// Mouse. CaptureMouse and ReleaseMouse are the emulated side of capturing the host pointer.
void CaptureMouse(MachineState& m);
void ReleaseMouse(MachineState& m);
// button 1 left, 2 right. Acts only while captured.
void MouseButton(MachineState& m, int button, bool down);
// The pointer's client position while captured. Returns true when the front end should put the
// pointer back at client (128, 128).
bool MouseMoved(MachineState& m, int x, int y);
// Port 0xDF as the mouse answers it: AMX buttons (48K group, when `amx` allowed) or the Kempston
// mouse; 0xFF when no mouse answers.
uint8_t MousePortValue(MachineState& m, uint16_t port, bool amxAllowed);

}  // namespace orvo
