#pragma once
// The kinds of file Orvo opens, recognised by the end of the file name.
#include <cstdint>
#include <string_view>

namespace orvo {

enum class FileKind : uint8_t {
  None = 0,
  Sna = 1,
  Z80 = 2,
  Szx = 3,
  Snx = 4,
  Sp = 5,
  Sem = 6,
  Snp = 7,
  Sit = 8,
  Zxs = 9,
  Tzx = 10,
  Tap = 11,
  Dsk = 12,
  Pok = 13,
  Txt = 14,
  Rzx = 15,
  Csw = 16,
  Zip = 17,
  Wav = 18,
  Pzx = 19,
  Scr = 20,  // a screen file: the display file, optionally with the ULAplus palette
  Trd = 21,  // a TR-DOS disk for the Beta 128 interface
  Scl = 22,  // a TR-DOS file archive, opened as a disk holding its files
  End = 0xFF,
};

struct ExtensionRow {
  FileKind kind;
  const char* extension;  // without the dot
  uint8_t length;
};

// Each extension twice, lower case then upper case, in kind order; the last row's kind is End.
extern const ExtensionRow ExtensionTable[45];

// The kind of the first row whose extension equals the last characters of `name`, byte for byte
// (case matters, and there is no check for a dot: "x.wsp" is an SP file); None when no row
// matches.
FileKind MatchExtension(std::string_view name);

inline bool IsSnapshotKind(FileKind kind) {
  return kind >= FileKind::Sna && kind <= FileKind::Zxs;
}
inline bool IsBetaDiskKind(FileKind kind) {
  return kind == FileKind::Trd || kind == FileKind::Scl;
}
inline bool IsTapeKind(FileKind kind) {
  return kind == FileKind::Tzx || kind == FileKind::Tap || kind == FileKind::Csw ||
         kind == FileKind::Wav || kind == FileKind::Pzx;
}

// The writer kind for a path being saved: the characters after the last dot compared with the
// lower-case and upper-case extensions of SNA, Z80, SZX, SNX, SP, SEM, SNP and SIT. None when the
// path has no such extension.
FileKind SaverKindForPath(std::string_view path);

}  // namespace orvo
