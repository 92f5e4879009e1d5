#include "shell/tape_browser_text.h"

#include <cstdio>

#include "formats/csw_format.h"

namespace orvo {

namespace {

std::string Format(const char* format, unsigned long value) {
  char text[96];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The ten-character name of a ROM header, unprintable characters as "?".
std::string HeaderName(const TapeBlock& b) {
  std::string name;
  for (uint32_t k = 2; k < 12 && k < b.length; ++k) {
    const uint8_t c = b.data[k];
    name.push_back(c >= 32 && c <= 126 ? static_cast<char>(c) : '?');
  }
  return name;
}

// TZX texts are bytes of Latin-1 (a price in "£" is 0xA3); the browser's rows are UTF-8.
// Control characters other than the line feed and tab show as "?".
std::string TapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<uint8_t>(ch);
    if (c == '\n' || c == '\t' || (c >= 32 && c < 127)) {
      out.push_back(ch);
    } else if (c >= 0xA0) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back('?');
    }
  }
  return out;
}

bool IsRomHeader(const TapeBlock& b) {
  return b.length == 19 && b.data[0] == 0x00;
}

uint32_t HeaderParam1(const TapeBlock& b) {
  return static_cast<uint32_t>(b.data[14] | (b.data[15] << 8));
}

std::string StandardLabel(const TapeBlock& b) {
  const unsigned long payload = b.length >= 2 ? b.length - 2 : 0;
  if (!IsRomHeader(b)) {
    return Format(b.length > 20 ? "%lu data bytes" : "%lu Data bytes", payload);
  }
  switch (b.data[1]) {
    case 0: return "PROGRAM: " + HeaderName(b) + Format("  LINE %lu", HeaderParam1(b));
    case 3: return "Bytes: " + HeaderName(b) + Format("  CODE %lu", HeaderParam1(b));
    case 1:
    case 2: return "";
    default: return Format("%lu Bytes", payload);
  }
}

const char* ArchiveTextName(uint8_t id) {
  static const char* const kNames[] = {
      "Title", "Publisher",     "Author(s)", "Year of Publication", "Language", "Game/Utility Type",
      "Price", "Scheme/Loader", "Origin"};
  if (id < std::size(kNames)) return kNames[id];
  return id == 0xFF ? "Comments" : "Info";
}

const char* HardwareTypeName(uint8_t type) {
  static const char* const kTypes[] = {
      "Computers", "External Storage",  "ROM/RAM type add-ons", "Sound devices", "Joysticks",
      "Mice",      "Other controllers", "Serial ports"};
  return type < std::size(kTypes) ? kTypes[type] : "Other hardware";
}

}  // namespace

std::string BlockLabel(const TapeBlock& b) {
  switch (b.id) {
    case kBlockStandard: return StandardLabel(b);
    case kBlockTurbo: return Format("TURBO DATA - %lu Bytes", b.length);
    case kBlockPureTone:
      return Format("PURE TONE - %lu Tstates", static_cast<unsigned long>(b.p[0]) * b.p[1]);
    case kBlockPulses: return Format("SEQUENCE of %lu Pulses", b.p[0]);
    case kBlockPureData: return Format("PURE DATA - %lu Bytes", b.length);
    case kBlockDirect: return Format("RAW DATA - %lu Bytes", b.length);
    case kBlockCsw: return Format("CSW DATA - %lu Bytes", b.p[5] + kCswSignatureSize);
    case kBlockGeneralized: return "GENERALIZED DATA";
    case kBlockPause: return Format("[PAUSE - %lu ms]", b.p[0]);
    case kBlockGroupStart: {
      std::string label(1, '[');
      label += TapeText(b.text);
      label += ']';
      return label;
    }
    case kBlockGroupEnd: return "[GROUP END]";
    case kBlockJump: return "[JUMP TO BLOCK]";
    case kBlockLoopStart: return Format("[LOOP %lu ITERATIONS]", b.p[0]);
    case kBlockLoopEnd: return "[LOOP END]";
    case kBlockCallSequence: return "[CALL SEQUENCE]";
    case kBlockReturn: return "[RETURN FROM SEQUENCE]";
    case kBlockSelect: return "[SELECT BLOCK]";
    case kBlockStop48: return "[STOP THE TAPE (IF 48K)]";
    case kBlockSignalLevel: return "[SET SIGNAL LEVEL]";
    case kBlockText:
    case kBlockMessage: return TapeText(b.text);
    case kBlockArchiveInfo: return "[ARCHIVE INFO BLOCK]";
    case kBlockHardware: return "[HARDWARE INFO BLOCK]";
    case kBlockCustomInfo: return "[CUSTOM INFO BLOCK]";
    default: return Format("[BLOCK 0x%02lX]", b.id);
  }
}

BlockDetailRows BlockDetails(const TapeBlock& b) {
  BlockDetailRows rows;
  auto add = [&rows](std::string label, std::string value) {
    rows.emplace_back(std::move(label), std::move(value));
  };
  add("Block ID", Format("0x%02lX", b.id));
  switch (b.id) {
    case kBlockStandard:
    case kBlockTurbo:
      if (b.id == kBlockStandard && IsRomHeader(b)) {
        const uint8_t type = b.data[1];
        static const char* const kKinds[] = {"Program: %s",
                                             "Number array:", "Character array:", "Bytes:"};
        if (type < 4) {
          char text[64];
          std::snprintf(text, sizeof text, kKinds[type], HeaderName(b).c_str());
          add(text, type == 0   ? Format("  LINE %lu", HeaderParam1(b))
                    : type == 3 ? Format("  CODE %lu", HeaderParam1(b))
                                : HeaderName(b));
        }
      }
      add("Pulse Length", Format("%lu Tstates", b.p[1]));
      add("No. Of Pulses", Format("%lu", b.p[2]));
      if (b.id == kBlockTurbo) {
        add("Pulse 1 Length", Format("%lu Tstates", b.p[3]));
        add("Pulse 2 Length", Format("%lu Tstates", b.p[4]));
        add("Zero Bit Length", Format("%lu Tstates", b.p[5]));
        add("One Bit Length", Format("%lu Tstates", b.p[6]));
      }
      add("Data Length", Format("%lu Bytes", b.length));
      add("Bits In Last Byte", Format("%lu Bits", b.p[0]));
      add("Pause After Data", Format("%lu Milliseconds", b.id == kBlockTurbo ? b.p[7] : b.p[5]));
      break;
    case kBlockPureTone:
      add("Pulse Length", Format("%lu Tstates", b.p[0]));
      add("No. Of Pulses", Format("%lu", b.p[1]));
      break;
    case kBlockPulses:
      add("No. Of Pulses", Format("%lu", b.p[0]));
      for (size_t k = 0; k < b.pulses.size(); ++k) {
        add(Format("Pulse %lu Length", k + 1), Format("%lu Tstates", b.pulses[k]));
      }
      break;
    case kBlockPureData:
      add("Zero Bit Length", Format("%lu Tstates", b.p[1]));
      add("One Bit Length", Format("%lu Tstates", b.p[2]));
      add("Data Length", Format("%lu Bytes", b.length));
      add("Bits In Last Byte", Format("%lu Bits", b.p[0]));
      add("Pause After Data", Format("%lu Milliseconds", b.p[6]));
      break;
    case kBlockDirect:
      add("Pulse Length", Format("%lu Tstates", b.p[2]));
      add("Data Length", Format("%lu Bytes", b.length));
      add("Bits In Last Byte", Format("%lu Bits", b.p[0]));
      add("Pause After Data", Format("%lu Milliseconds", b.p[1]));
      break;
    case kBlockCsw: {
      char freq[64];
      std::snprintf(freq, sizeof freq, "%lu HZ (%lu Tstates)", static_cast<unsigned long>(b.p[0]),
                    static_cast<unsigned long>(b.p[4]));
      add("Compressed Sound Wave", "");
      add("Frequency", freq);
      add("Audio Type:", b.p[3] == 2 ? "Z-RLE" : "RLE");
      add("Data Length:", Format("%lu Bytes", b.p[5]));
      add("Polarity:", b.p[1] ? "High" : "Low");
      break;
    }
    case kBlockPause: add("Pause After Data", Format("%lu Milliseconds", b.p[0])); break;
    case kBlockText:
    case kBlockMessage:
    case kBlockGroupStart: add("Text Description", TapeText(b.text)); break;
    case kBlockJump:
      add("Jump to block", Format("%ld", static_cast<long>(static_cast<int16_t>(b.p[0]))));
      break;
    case kBlockLoopStart: add("Iterations", Format("%lu iterations", b.p[0])); break;
    case kBlockCallSequence:
      add("Number of Calls", Format("%lu", b.p[0]));
      for (size_t k = 0; k < b.calls.size(); ++k) {
        add(Format("Call Block %lu", k + 1), Format("%ld", static_cast<long>(b.calls[k])));
      }
      break;
    case kBlockStop48: add("Stop The Tape", "48K only"); break;
    case kBlockArchiveInfo:
      for (const auto& [id, text] : b.infos) add(ArchiveTextName(id), TapeText(text));
      break;
    case kBlockHardware:
      for (const auto& h : b.hardware) {
        add(HardwareTypeName(h[0]), Format("ID %lu", h[1]));
      }
      break;
    default: break;
  }
  return rows;
}

}  // namespace orvo
