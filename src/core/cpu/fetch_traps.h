#pragma once
// Fetch traps: code that runs when the CPU is about to fetch the first opcode of an instruction at
// a given address. Add-ons that watch the ROM (the tape loader, a disk delay loop, a speech unit's
// ROM overlay, a paged interface ROM) and tools that stop on an address register here; the core
// knows none of the addresses.
//
// The core consults the list once per instruction behind one flag (Armed): with nothing
// registered the fetch costs a single well-predicted test. A 64K bitmap then says whether the
// address has a trap; only then does the (cold, out of line) walk over the handlers run.
//
// A handler is a plain function with a context pointer (its owner's state). It is called before
// the M1 cycle of the instruction at `address`, after any interrupt accepted by the same step, and
// answers one of:
//   Continue()     observe only: the next handler at the address runs, then the core fetches and
//                  executes the instruction as usual;
//   Execute(op)    the handler made the M1 cycle itself (Z80FetchCycle in cpu/z80.h) and looked at
//                  the opcode; the core executes `op` without fetching again;
//   Skip()         the handler did the whole step (set PC, charged whatever cycles it stands for);
//                  the core ends the call there.
// Handlers at one address run in the order they were added; the first that does not answer
// Continue ends the walk. A handler may add or remove traps; the walk then stops after it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvo {

enum class FetchTrapAction : uint8_t { kContinue, kExecute, kSkip };

struct FetchTrapResult {
  FetchTrapAction action = FetchTrapAction::kContinue;
  uint8_t opcode = 0;  // kExecute: the opcode the handler fetched

  static constexpr FetchTrapResult Continue() { return {}; }
  static constexpr FetchTrapResult Execute(uint8_t op) { return {FetchTrapAction::kExecute, op}; }
  static constexpr FetchTrapResult Skip() { return {FetchTrapAction::kSkip, 0}; }
};

using FetchTrapHandler = FetchTrapResult (*)(void* context, uint16_t address);

class FetchTrapList {
 public:
  // Something is registered: the core looks at the bitmap on every fetch.
  bool Armed() const { return armed_; }
  // A trap is registered at `address`.
  bool Has(uint16_t address) const { return (bits_[address >> 6] >> (address & 63)) & 1; }

  // Registers handler(context) at `address`; adding the same triple twice keeps one.
  void Add(uint16_t address, FetchTrapHandler handler, void* context) {
    AddRange(address, address, handler, context);
  }
  // Removes handler(context) from `address`, if it is there.
  void Remove(uint16_t address, FetchTrapHandler handler, void* context) {
    RemoveRange(address, address, handler, context);
  }
  // Adds or removes as `on` says. With `page` (the host memory of the 8 KB page the address lies
  // in, a ROM routine's) the trap is live only while that page is mapped there (Remap): with
  // another ROM or RAM paged in, the core need not look for it.
  void Set(uint16_t address, FetchTrapHandler handler, void* context, bool on,
           const uint8_t* page = nullptr) {
    if (!on) {
      RemoveRange(address, address, handler, context);
      return;
    }
    AddRange(address, address, handler, context);
    for (Entry& e : entries_) {
      if (e.first == address && e.last == address && e.handler == handler && e.context == context)
        e.page = page;
    }
  }
  // After the memory map changed (`pageTable`: the host memory mapped at each 8 KB page): the
  // traps tied to a page come alive or go to sleep.
  void Remap(const uint8_t* const* pageTable) {
    bool changed = false;
    for (Entry& e : entries_) {
      const bool live = e.page == nullptr || pageTable[e.first >> 13] == e.page;
      changed |= live != e.live;
      e.live = live;
    }
    if (changed) Changed();
  }
  // The same for every address from `first` to `last` (a paged ROM's entry page, or all of RAM
  // for a ROM that pages out when code runs there): one entry, whatever the range's size.
  void AddRange(uint16_t first, uint16_t last, FetchTrapHandler handler, void* context) {
    for (const Entry& e : entries_) {
      if (e.first == first && e.last == last && e.handler == handler && e.context == context)
        return;
    }
    entries_.push_back({first, last, handler, context});
    Changed();
  }
  void RemoveRange(uint16_t first, uint16_t last, FetchTrapHandler handler, void* context) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      const Entry& e = entries_[i];
      if (e.first == first && e.last == last && e.handler == handler && e.context == context) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        Changed();
        return;
      }
    }
  }
  void SetRange(uint16_t first, uint16_t last, FetchTrapHandler handler, void* context, bool on) {
    if (on) {
      AddRange(first, last, handler, context);
    } else {
      RemoveRange(first, last, handler, context);
    }
  }

  // Runs the handlers at `address` (see above), if it has any. Out of line and cold: the core only
  // comes here while something is registered.
  [[gnu::noinline, gnu::cold]] FetchTrapResult RunAt(uint16_t address) {
    if (!Has(address)) return FetchTrapResult::Continue();
    const uint32_t generation = generation_;
    for (size_t i = 0; i < entries_.size(); ++i) {
      const Entry e = entries_[i];
      if (address < e.first || address > e.last || !e.live) continue;
      const FetchTrapResult r = e.handler(e.context, address);
      if (r.action != FetchTrapAction::kContinue || generation_ != generation) return r;
    }
    return FetchTrapResult::Continue();
  }

 private:
  struct Entry {
    uint16_t first, last;
    FetchTrapHandler handler;
    void* context;
    const uint8_t* page = nullptr;  // live only while this page is mapped (Set)
    bool live = true;
  };

  void Changed() {
    bits_.fill(0);
    armed_ = false;
    for (const Entry& e : entries_) {
      if (!e.live) continue;
      armed_ = true;
      uint32_t a = e.first;
      while (a <= e.last) {
        if ((a & 63) == 0 && a + 63 <= e.last) {
          bits_[a >> 6] = ~uint64_t{0};
          a += 64;
        } else {
          bits_[a >> 6] |= uint64_t{1} << (a & 63);
          ++a;
        }
      }
    }
    ++generation_;
  }

  bool armed_ = false;
  uint32_t generation_ = 0;
  std::vector<Entry> entries_;
  std::array<uint64_t, 1024> bits_{};
};

}  // namespace orvo
