#pragma once
// The sound device as the core sees it: a looping ring of eight frame-sized segments that the
// device plays on its own, which the core fills one segment per frame and whose play position it
// reads to pace the emulation. The SDL2 implementation lives in host/; tests use fakes.
#include <cstdint>
#include <string>

namespace orvo {

// The PCM layout of the ring. Samples are unsigned: 8-bit bytes, or 16-bit little-endian
// magnitudes (0 is the quietest level).
struct WaveFormat {
  uint16_t channels = 2;  // 2 when `Output` is not 0, else 1
  uint32_t samplesPerSecond = 44100;
  uint16_t bitsPerSample = 16;  // `Soundbits`
  uint16_t blockAlign = 4;      // bits x channels / 8
  uint32_t averageBytesPerSecond = 176400;
};

enum class RingWriteResult {
  kOk,
  kLost,    // the device lost the ring's memory: Restore() and write again
  kFailed,  // the segment could not be written; the frame is dropped
};

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // Opens the platform's sound system and its default output.
  virtual bool Open() = 0;
  // Why the last call that failed did, in the sound system's words ("" when it does not say).
  virtual std::string LastError() const { return {}; }
  // Claims the output for this program at priority. Most platforms have nothing to do.
  virtual bool SetPriority() { return true; }
  // Sets up the device's own mixing stage, and its format (whose result nobody checks).
  virtual bool CreatePrimary() { return true; }
  virtual void SetPrimaryFormat(const WaveFormat& /*format*/) {}
  // The highest sample rate the device plays, and whether it plays 16-bit samples.
  virtual uint32_t MaxSampleRate() = 0;
  virtual bool Supports16Bit() = 0;

  // Creates the looping ring of `bytes` bytes (stopped, position 0).
  virtual bool CreateRing(const WaveFormat& format, uint32_t bytes) = 0;
  // Fills the whole ring with `value`; false when the ring could not be locked.
  virtual bool ClearRing(uint8_t value) = 0;
  // Copies `bytes` bytes into the ring at `offset`, wrapping at its end.
  virtual RingWriteResult WriteRing(uint32_t offset, const uint8_t* data, uint32_t bytes) = 0;
  virtual void Restore() {}
  // Starts looping playback from position 0.
  virtual bool Play() = 0;
  virtual void Stop() = 0;
  // The byte offset in the ring up to which the device has taken samples for playing; the next
  // bytes it takes start here.
  virtual uint32_t WritePosition() = 0;
  // Releases the ring and the device.
  virtual void Close() = 0;
};

// Receives each finished frame of samples instead of the ring (orvo-run's --wav).
class SoundFrameSink {
 public:
  virtual ~SoundFrameSink() = default;
  virtual void TakeFrame(const uint8_t* data, uint32_t bytes) = 0;
};

}  // namespace orvo
