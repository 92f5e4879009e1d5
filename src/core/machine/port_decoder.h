#pragma once
// The port decoder as RebuildPortDecoder (devices/device.h) leaves it: the rows of the fitted
// devices sorted into small tables for the model group, so that ReadPort and WritePort only walk
// the rows that can answer.
#include <array>
#include <cstdint>
#include <vector>

#include "devices/device.h"

namespace orvo {

struct PortDecoder {
  ModelGroup group = ModelGroup::k48;
  // A read nothing answered sees the byte the ULA is fetching (48K and 128K groups; on the 48K
  // group not while an add-on that holds the data bus is fitted).
  bool floatingBus = true;

  struct ExactRead {
    uint16_t port;
    PortReadFn read;
  };
  struct ExactWrite {
    uint16_t port;
    PortWriteFn write;
  };
  std::vector<ExactRead> exactReads;
  std::vector<ExactWrite> exactWrites;

  std::vector<PortReadFn> evenReads;
  std::vector<PortWriteFn> evenWrites;

  // Per low byte: where its handlers start in lowReads/lowWrites, how many there are, and the
  // port the address-line rows see instead (-1: the port itself).
  struct LowByte {
    uint16_t readFirst = 0, writeFirst = 0;
    uint8_t reads = 0, writes = 0;
    int32_t readAs = -1, writeAs = -1;
  };
  std::array<LowByte, 256> low{};
  std::vector<PortReadFn> lowReads;
  std::vector<PortWriteFn> lowWrites;

  struct LineRead {
    uint16_t mask, value;
    PortReadFn read;
  };
  struct LineWrite {
    uint16_t mask, value;
    PortWriteFn write;
  };
  std::vector<LineRead> lineReads;
  std::vector<LineWrite> lineWrites;
};

}  // namespace orvo
