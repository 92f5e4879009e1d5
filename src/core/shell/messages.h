#pragma once
// The message and caption tables: every user-visible failure is one of these.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvo {

enum class CaptionId : uint8_t {
  Error = 0,       // "Orvo Error"
  Debug = 1,       // "Orvo Debug"
  Display = 2,     // "Orvo_Display"
  Infoseek = 3,    // "Orvo Infoseek"
  File = 4,        // "Orvo File"
  Options = 5,     // "Orvo Options"
  Sound = 6,       // "Orvo Sound"
  PokeMemory = 7,  // "Orvo POKE Memory"
  PokeFind = 8,    // "Orvo POKE Find"
  Rzx = 9,         // "Orvo RZX"
};

using MessageId = uint8_t;  // 0..179
constexpr int kMessageCount = 180;
constexpr int kCaptionCount = 10;

// Numbers of the messages raised by the machine itself.
constexpr MessageId kMsgRomMissing = 2;        // "ROM missing", followed by the ROM's file name
constexpr MessageId kMsgRomLength = 3;         // "ROM file incorrect length"
constexpr MessageId kMsgOutOfMemory = 4;       // "Out of memory"
constexpr MessageId kMsgFirstQuotation = 160;  // 160..179: the quotations "Help" picks from
constexpr int kQuotationCount = 20;

// The raw table texts ("" for unused entries).
const char* MessageText(MessageId id);
const char* CaptionText(CaptionId id);
// The text as the message box shows it: "%02X - " and the text; message 2 adds two line feeds and
// the file name with extension of `detail` (the path of the missing ROM; any folder is dropped).
std::string FormatMessage(MessageId id, std::string_view detail = {});

}  // namespace orvo
