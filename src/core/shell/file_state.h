#pragma once
// What the file dispatch remembers about the files put into the emulator: the bytes of the file
// being loaded, the names the window and status bar show, and the kind label the debugger reads.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

// A file read whole into one heap block. Loaders receive a span over `bytes`; it stays valid until
// the next file is loaded.
struct LoadedFile {
  std::vector<uint8_t> bytes;
  uint64_t Size() const { return bytes.size(); }
};

struct FileState {
  LoadedFile Loaded;                  // `LoadedFile`
  std::vector<uint8_t> AnalyserCopy;  // the last opened file, for the snapshot analyser
  std::string CurrentFilePath;        // full path of the last file opened
  std::string CurrentFileTitle;       // name as chosen; the default name of the next save
  std::string StatusFileName;         // name plus extension, for the status bar
  std::string FileTypeLabel;          // "SNA 48k file", "TZX File", ...
  // The file the instant save (F1) writes: the last one this run loaded or saved a snapshot to;
  // empty until then, so a file remembered from an earlier run is never overwritten.
  std::string InstantSavePath;
  std::string SaveTapePath;    // the TAP file "Save to tape" appends to (empty: made)
  uint8_t SnapshotLoaded = 0;  // a snapshot loader ran on a dispatch path
  uint8_t FileOpened = 0;      // a file was opened (read by start-up)
  // A ZIP archive was opened: the window shows the entry picker for CurrentFilePath and clears
  // this flag.
  uint8_t ZipPickerPending = 0;
  // Result of the last loader the dispatch called: 0 loaded, 1 refused (the loader showed why),
  // 2 this kind cannot be loaded yet.
  int LastLoadStatus = 0;
};

}  // namespace orvo
