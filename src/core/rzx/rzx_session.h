#pragma once
// Input recordings: playing back a recorded run frame by frame (the recorded opcode fetch counts
// end the frames, the recorded port values answer the port reads) and recording one, with
// rollback points to return to while recording.
//
// Playing and recording exclude each other. While either is on, the machine's port read hook
// (MachineState::PortReadHook) points here; the frame loop calls RzxPlaybackFrame instead of its
// own frame while playing, and RzxRecordFrame after each frame while recording.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/file_io.h"
#include "formats/rzx_format.h"

namespace orvo {

class Emulator;

struct RollbackPoint {
  std::vector<uint8_t> snapshot;  // the machine as an uncompressed SZX file
  uint64_t frame = 0;             // the recorded frame it was taken at
  std::string label;              // its time in seconds, "%.2f"
};

// Where playback stopped on a frame whose port reads did not match the recording.
struct RzxMismatch {
  bool found = false;
  uint64_t frame = 0;  // within its block
  uint32_t block = 0;
  uint32_t counted = 0, expected = 0;
};

struct RzxSession {
  RzxFile file;  // the recording opened, or the one being recorded
  bool loaded = false, playing = false, recording = false;
  bool finished = false;  // the last playback reached the end of the recording
  RzxMismatch mismatch;

  // Playback position.
  uint32_t block = 0;
  uint64_t frame = 0;
  uint64_t framesPlayed = 0;
  uint32_t readsUsed = 0;
  std::span<const uint8_t> values;  // the current frame's recorded values

  // Recording.
  std::vector<uint8_t> frameValues;  // port values of the frame in progress (grows as needed)
  std::string outputPath;
  std::vector<RollbackPoint> rollbacks;

  // The mismatch log, while on.
  LogFile log;
  std::string logPath;
};

// Parses an RZX file (a message naming `name` and the fault when it cannot be read; nothing is
// kept) and starts playing it. Returns true when playback started.
bool OpenRzxBytes(Emulator& emu, std::span<const uint8_t> bytes, std::string_view name = {});
bool OpenRzxFile(Emulator& emu, const std::string& path);
// Loads the recording's snapshot and starts at its first frame; message 145 without a recording.
bool StartRzxPlayback(Emulator& emu);
void StopRzxPlayback(Emulator& emu);
// One recorded frame: runs until the frame's fetch count, then RzxEndOfFrame.
void RzxPlaybackFrame(Emulator& emu);
// Checks the frame's port reads against the recording and moves to the next frame.
void RzxEndOfFrame(Emulator& emu);
// Loads a snapshot embedded in a recording (SNA, Z80 or SZX by its extension) after a reset.
// Returns 0, or 1 after a message.
int LoadEmbeddedSnapshot(Emulator& emu, std::string_view extension, std::span<const uint8_t> data);
// The mismatch log: one line per frame while playing. False when the file cannot be created.
bool SetRzxLog(Emulator& emu, const std::string& path, bool on);

// Starts recording the running machine into `path` (its extension becomes ".rzx"). Refused,
// with a message, while text is being typed in: typing does not go through the ports.
bool StartRzxRecording(Emulator& emu, const std::string& path);
// False, after a message, while a recording is being made: text cannot be typed in then.
bool RzxAllowsTyping(Emulator& emu);
// The start of a frame while recording: steps through the INT line's active time until the
// machine takes the interrupt, and moves the frame's boundary there (rzx/rzx_interrupt.h).
void RzxRecordInterruptWindow(Emulator& emu);
// The end of a frame while recording: its fetch count and port values become a recorded frame.
void RzxRecordFrame(Emulator& emu);
// The start of a frame of a device's own interrupt (an AMX mouse step) while recording: the INT
// line's window as at a frame's start, and, when the interrupt is taken at the frame's boundary,
// the byte the device puts on the data bus for it, kept with the recording.
void RzxRecordDeviceInterrupt(Emulator& emu, uint8_t vector);
// The recording so far as an RZX file into `path`, written atomically. False when it failed.
bool WriteRzxFile(Emulator& emu, const std::string& path);
// Writes the recording to the file chosen at its start and stops recording.
bool StopRzxRecording(Emulator& emu);
// Keeps the running machine as a rollback point at the current frame.
void AddRollbackPoint(Emulator& emu);
// Returns to rollback point `index` (the last by default): its snapshot is loaded, the frames
// after it are dropped and later points deleted, and recording goes on from there.
bool RollBackTo(Emulator& emu, size_t index);
bool RollBackToLast(Emulator& emu);
// Command 202: loads the last rollback point and records afresh from it into `path`.
bool RecordFromRollback(Emulator& emu, const std::string& path);

// The machine was set up afresh (another snapshot loaded, the model changed) under a recording:
// playback stops; a recording is written as far as it went and stops.
void RzxMachineReplaced(Emulator& emu);

// What last changed the RZX menu's states.
enum class RzxMenuAfter : uint8_t {
  Play,           // playback started
  Stop,           // playback stopped or finished
  Record,         // recording started
  StopRecording,  // the recording written and ended
  Continue,       // recording afresh from the last bookmark
  Finalise,       // a copy written; recording goes on
  Bookmark,       // a bookmark added, or recording went back to the last one
  GoToBookmark,   // recording went back to a chosen bookmark
  Logging,        // the mismatch log switched: its check mark only
};
// Enables and greys the RZX menu's items for what has just happened. The bookmark commands
// follow the recording, and the debugger is greyed while a recording drives the machine.
void UpdateRzxMenus(Emulator& emu, RzxMenuAfter after);

}  // namespace orvo
