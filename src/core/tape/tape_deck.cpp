// The tape deck: inserting, ejecting and rewinding tapes, and the Tape menu commands.
#include "tape/tape_deck.h"

#include <cstdio>
#include <memory>
#include <new>

#include "formats/tape_parsers.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/format_messages.h"
#include "tape/tape_player.h"

namespace orvo {

namespace {

bool EndsWith(const std::string& name, const char* ext) {
  const std::string e(ext);
  return name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
}

// Parses `bytes` into a fresh image in the deck and enters its first block.
int InsertParsed(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                 const std::string& path) {
  MachineState& m = emu.m;
  EjectTape(m);
  auto image = std::make_unique<TapeImage>();
  image->path = path;
  const FormatStatus parsed =
      kind == TapeKind::Tzx ? ParseTZX(*image, bytes) : ParseTAP(*image, bytes);
  ShowFormatError(emu.host, parsed);
  const uint8_t status = TapeParseStatusOf(parsed);
  // A file that is not a tape at all (too short, wrong signature) leaves the deck empty.
  if (kind == TapeKind::Tzx && status != kTapeParseOk && image->bytes.empty()) return status;
  m.tape.image = std::move(image);
  EnterTapeBlock(m, m.tape.image->first);
  UpdateTapeTrapFlag(m);
  // With "Autoload" the machine has just been put at its tape loader: the detector starts afresh.
  if (m.settings.Autoload) ResetTapeAutoStart(m);
  return status;
}

}  // namespace

TapeKind TapeKindOf(const std::string& name) {
  if (EndsWith(name, "tzx") || EndsWith(name, "TZX")) return TapeKind::Tzx;
  if (EndsWith(name, "tap") || EndsWith(name, "TAP")) return TapeKind::Tap;
  return TapeKind::None;
}

const char* TapeBootSnapshotName(uint8_t model) {
  switch (model) {
    case kModel128K: return "tape_128.z80";
    case kModelPlus2: return "tape_plus2.z80";
    case kModelPlus2A:
    case kModelPlus3: return "tape_plus3.z80";
    default: return "tape_48.z80";
  }
}

int ReadTapeFile(Emulator& emu, const std::string& path, std::vector<uint8_t>& buffer) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    emu.ShowMessage(CaptionId::Options, 20);
    return 1;
  }
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    emu.ShowMessage(CaptionId::Options, 21);
    return 1;
  }
  try {
    buffer.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    emu.ShowMessage(CaptionId::Options, 4);
    return 1;
  }
  const size_t got = size ? std::fread(buffer.data(), 1, buffer.size(), f) : 0;
  std::fclose(f);
  if (got != buffer.size()) {
    emu.ShowMessage(CaptionId::Options, 23);
    return 1;
  }
  return 0;
}

int LoadTapeBytes(Emulator& emu, std::span<const uint8_t> bytes, TapeKind kind,
                  const std::string& path) {
  if (kind == TapeKind::None) {
    emu.ShowMessage(CaptionId::Options, 22);
    return 1;
  }
  return InsertParsed(emu, bytes, kind, path);
}

int LoadTape(Emulator& emu, const std::string& path) {
  const TapeKind kind = TapeKindOf(path);
  if (kind == TapeKind::None) {
    emu.ShowMessage(CaptionId::Options, 22);
    return 1;
  }
  std::vector<uint8_t> buffer;
  if (ReadTapeFile(emu, path, buffer) != 0) return 1;
  if (emu.m.settings.Autoload) LoadTapeBootSnapshot(emu);
  const int status = LoadTapeBytes(emu, buffer, kind, path);
  if (status == 0) emu.files.FileTypeLabel = kind == TapeKind::Tzx ? "TZX File" : "TAP File";
  return status;
}

void EjectTape(MachineState& m) {
  ClearTapePlayer(m);
  m.tape.image.reset();
  UpdateTapeTrapFlag(m);
}

void OpenTapeFile(Emulator& emu, const std::string& path) {
  EjectTape(emu.m);
  LoadTape(emu, path);
}

void EjectTapeCommand(Emulator& emu) {
  if (!emu.m.tape.image) {
    emu.ShowMessage(CaptionId::Error, 51);
    return;
  }
  EjectTape(emu.m);
}

void RewindTapeCommand(Emulator& emu) {
  MachineState& m = emu.m;
  if (!m.tape.image) {
    emu.ShowMessage(CaptionId::Error, 51);
    return;
  }
  // The tape is parsed again from the bytes it was read from, so a tape taken out of an archive
  // rewinds as well as one read from a file.
  std::vector<uint8_t> bytes = std::move(m.tape.image->bytes);
  const std::string path = m.tape.image->path;
  const TapeKind kind = m.tape.image->isTzx ? TapeKind::Tzx : TapeKind::Tap;
  InsertParsed(emu, bytes, kind, path);
}

void StartStopTapeCommand(Emulator& emu) {
  ToggleTape(emu.m);
}

}  // namespace orvo
