// HeapSeam: the test seam of the heap beneath the tracked memory (Basic.h).
//
// Tests, the fuzz targets and the sanitizer checks use it; the program never
// calls these routines. It switches the keeping of released blocks, makes
// the heap refuse chosen requests, and shows what is kept. Left untouched,
// it costs the tracked memory one predictable branch for each heap request.
#pragma once

#include <cstdint>

// Defined where the build runs under AddressSanitizer (the host and fuzz
// presets); there released blocks go back to the heap at once, so that its
// checks see every block as one of its own.
#if defined(__SANITIZE_ADDRESS__)
#define SPIRALUX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SPIRALUX_ADDRESS_SANITIZER 1
#endif
#endif

// The kept blocks: the MemKeptMost most recently released blocks whose
// capacity is MemKeptSmallest to MemKeptBytesMost bytes, MemKeptBytesMost
// in all at most; the oldest goes back to the heap first. A new request of
// size bytes takes the smallest kept block of size to size + size / 2
// bytes; a block keeps its capacity for as long as it lives.
constexpr int32_t MemKeptMost = 8;
constexpr int64_t MemKeptSmallest = 16384, MemKeptBytesMost = 32 << 20;

// Keeps released blocks (on) or returns them to the heap at once (off);
// returns the previous setting. Switching off returns the kept blocks.
// Builds under AddressSanitizer start off, the others on.
bool MemKeepReleasedForTests(bool on);

// Keeps released blocks while it lives, starting with none kept; then
// restores the setting.
class MemKeepingForTests {
 public:
  MemKeepingForTests() : before_(MemKeepReleasedForTests(false)) { MemKeepReleasedForTests(true); }
  ~MemKeepingForTests() { MemKeepReleasedForTests(before_); }
  MemKeepingForTests(const MemKeepingForTests&) = delete;
  MemKeepingForTests& operator=(const MemKeepingForTests&) = delete;
  bool Before() const { return before_; }

 private:
  bool before_;
};

// The heap grants its next `granted` requests (an allocation, a resize, or
// the second try after the kept blocks went back), then refuses the
// `refused` after them, then grants again. A kept block handed out is no
// request. (0, 0) grants everything.
void MemHeapRefusesForTests(int32_t granted, int32_t refused);

struct MemKept {
  int32_t Blocks;
  int64_t Bytes;  // their capacities
};
MemKept MemKeptForTests();
