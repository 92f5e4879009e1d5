#pragma once
// Little-endian fields over a file held in memory. ByteCursor checks every read against the end
// of its span, so a short or hostile file stops the parse instead of reading past its end.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvo {

// The 16-bit value at `offset`; the caller has checked that both bytes exist.
inline uint16_t ReadLe16(std::span<const uint8_t> data, size_t offset) {
  return static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
}

inline void PutLe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void AppendLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// A moving cursor over a span. A read that does not fit returns false and leaves the cursor
// where it was.
class ByteCursor {
 public:
  ByteCursor() = default;
  explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Offset() const { return pos_; }
  size_t Left() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  bool Has(size_t n) const { return n <= Left(); }

  bool Skip(size_t n) {
    if (!Has(n)) return false;
    pos_ += n;
    return true;
  }
  bool U8(uint32_t& v) { return Le(1, v); }
  bool U16(uint32_t& v) { return Le(2, v); }
  bool U24(uint32_t& v) { return Le(3, v); }
  bool U32(uint32_t& v) { return Le(4, v); }
  // A run of `n` bytes: gives its start and moves past it.
  bool Bytes(size_t n, const uint8_t*& p) {
    if (!Has(n)) return false;
    p = bytes_.data() + pos_;
    pos_ += n;
    return true;
  }
  // A text of `n` bytes, optionally with carriage returns turned into line feeds.
  bool Text(size_t n, std::string& out, bool crToLf) {
    const uint8_t* p;
    if (!Bytes(n, p)) return false;
    out.assign(reinterpret_cast<const char*>(p), n);
    if (crToLf) {
      for (char& c : out) {
        if (c == '\r') c = '\n';
      }
    }
    return true;
  }
  // A cursor over the next `n` bytes; this cursor moves past them.
  bool Sub(size_t n, ByteCursor& sub) {
    if (!Has(n)) return false;
    sub = ByteCursor(bytes_.subspan(pos_, n));
    pos_ += n;
    return true;
  }

 private:
  bool Le(size_t width, uint32_t& v) {
    v = 0;
    if (!Has(width)) return false;
    for (size_t k = 0; k < width; ++k) v |= static_cast<uint32_t>(bytes_[pos_ + k]) << (8 * k);
    pos_ += width;
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace orvo
