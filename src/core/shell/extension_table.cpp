#include "shell/extension_table.h"

namespace orvo {

const ExtensionRow ExtensionTable[45] = {
    {FileKind::Sna, "sna", 3}, {FileKind::Sna, "SNA", 3}, {FileKind::Z80, "z80", 3},
    {FileKind::Z80, "Z80", 3}, {FileKind::Szx, "szx", 3}, {FileKind::Szx, "SZX", 3},
    {FileKind::Snx, "snx", 3}, {FileKind::Snx, "SNX", 3}, {FileKind::Sp, "sp", 2},
    {FileKind::Sp, "SP", 2},   {FileKind::Sem, "sem", 3}, {FileKind::Sem, "SEM", 3},
    {FileKind::Snp, "snp", 3}, {FileKind::Snp, "SNP", 3}, {FileKind::Sit, "sit", 3},
    {FileKind::Sit, "SIT", 3}, {FileKind::Zxs, "zxs", 3}, {FileKind::Zxs, "ZXS", 3},
    {FileKind::Tzx, "tzx", 3}, {FileKind::Tzx, "TZX", 3}, {FileKind::Tap, "tap", 3},
    {FileKind::Tap, "TAP", 3}, {FileKind::Dsk, "dsk", 3}, {FileKind::Dsk, "DSK", 3},
    {FileKind::Pok, "pok", 3}, {FileKind::Pok, "POK", 3}, {FileKind::Txt, "txt", 3},
    {FileKind::Txt, "TXT", 3}, {FileKind::Rzx, "rzx", 3}, {FileKind::Rzx, "RZX", 3},
    {FileKind::Csw, "csw", 3}, {FileKind::Csw, "CSW", 3}, {FileKind::Zip, "zip", 3},
    {FileKind::Zip, "ZIP", 3}, {FileKind::Wav, "wav", 3}, {FileKind::Wav, "WAV", 3},
    {FileKind::Pzx, "pzx", 3}, {FileKind::Pzx, "PZX", 3}, {FileKind::Scr, "scr", 3},
    {FileKind::Scr, "SCR", 3}, {FileKind::Trd, "trd", 3}, {FileKind::Trd, "TRD", 3},
    {FileKind::Scl, "scl", 3}, {FileKind::Scl, "SCL", 3}, {FileKind::End, "", 0},
};

FileKind MatchExtension(std::string_view name) {
  for (const ExtensionRow* row = ExtensionTable; row->kind != FileKind::End; ++row) {
    if (name.size() >= row->length &&
        name.substr(name.size() - row->length) == std::string_view(row->extension, row->length)) {
      return row->kind;
    }
  }
  return FileKind::None;
}

FileKind SaverKindForPath(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return FileKind::None;
  }
  const std::string_view ext = path.substr(dot + 1);
  for (const ExtensionRow* row = ExtensionTable; row->kind <= FileKind::Sit; ++row) {
    if (row->kind != FileKind::Zxs && ext == row->extension) return row->kind;
  }
  return FileKind::None;
}

}  // namespace orvo
