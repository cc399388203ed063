// Basic: the media library's tracked memory, its byte and number routines
// and its tracked text files.
//
// Every heap block of the library lives in one table together with the
// address of the pointer variable that owns it, so that a failing monitored
// section (Errors.h) can free what it obtained and the shut-down report can
// list what was never released. Results are reported through MonSetError.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// Booleans stored in the library's records are 32-bit: true has all bits
// set, false is 0, and any non-zero value tests as true.
using Bool32 = int32_t;
constexpr Bool32 True32 = -1;
constexpr Bool32 False32 = 0;

// The position every table search returns when nothing matches (the 32-bit
// pattern AF100D7C); valid positions are never negative.
constexpr int32_t NotFound = -1357902468;

// ---------------------------------------------------------------- memory

constexpr int32_t MemTableSize = 10240;

struct MemEntry {
  void* Block;       // the tracked block
  void* Owner;       // address of the pointer variable that received Block
  int32_t Size;      // bytes actually allocated (the adjusted size)
  std::string Name;  // "C:..." name shown in reports
};

// Positions 0 .. MemCount() - 1 are in use, without holes; removal moves the
// last entry into the freed position. Read it; change it only through the
// routines below.
extern MemEntry MemTable[MemTableSize];

enum MemFindMode { ByBlock, ByBlockAndOwner };

// The untyped forms: `owner` is the address of a pointer variable of any
// object type. Callers use the typed templates below.
int32_t MemAllocAt(void* owner, int32_t size, int32_t tag, const std::string& name);
void MemFreeAt(void* owner);
int32_t MemFindAt(const void* owner, MemFindMode mode);
void MemSwapAt(void* a, void* b);

// Allocates a new block of the adjusted size (size x 1.05 rounded half to
// even, then up to a multiple of 4) for p, or resizes the block p already
// owns, keeping its contents. Returns 0 or the code of a memory error of
// Errors.h: ErrMemInvalidRequest for a size below 1 or too large,
// ErrMemAllocFault or ErrMemReallocFault when the heap refuses, ErrMemFatal
// when the table is full. p is unchanged on failure; with the table full no
// block is obtained at all, so a failing caller has nothing to release. The
// code goes to MonSetError(ErrCatMemory, code): inside a monitored section a
// failure raises EMon.
template <class T>
int32_t MemAlloc(T*& p, int32_t size, int32_t tag = 0, const std::string& name = "") {
  return MemAllocAt(&p, size, tag, name);
}

// Releases the tracked block that p holds and sets p to null; an untracked
// or null p is left alone. Clears LastWarning first. The last few released
// blocks of 16 KB to 32 MB stay with the library for the next requests of
// about their size, which then meet no fresh pages; the heap gets them back
// when it refuses a request. Builds under AddressSanitizer release at once
// (HeapSeam.h).
template <class T>
void MemFree(T*& p) {
  MemFreeAt(&p);
}

// The first position whose Block is the address in p (ByBlock), and whose
// Owner is also &p (ByBlockAndOwner); NotFound when there is none.
template <class T>
int32_t MemFind(T* const& p, MemFindMode mode) {
  return MemFindAt(&p, mode);
}

// True when the address in p is a tracked block.
template <class T>
bool MemTest(T* const& p) {
  return MemFind(p, ByBlock) >= 0;
}

// Exchanges the Block and Size fields of the entries of a's and b's blocks
// (a monitored section: "Memory manager fault." when either is untracked).
// The caller exchanges the variables afterwards.
template <class T>
void MemSwap(T*& a, T*& b) {
  MemSwapAt(&a, &b);
}

// A tracked block that belongs to a scope: Block is its owner variable
// (MemAlloc(scoped.Block, ...)), released with MemFree when the scope ends,
// also when an exception leaves it. Never copied or moved: the table knows
// the block by the variable's address.
template <class T>
struct ScopedBlock {
  T* Block = nullptr;
  ScopedBlock() = default;
  ScopedBlock(const ScopedBlock&) = delete;
  ScopedBlock& operator=(const ScopedBlock&) = delete;
  ~ScopedBlock() { MemFree(Block); }
};

int32_t MemCount();
int32_t MemPeak();
// Whether MemAlloc accepts a request of size bytes (1 .. 2045222518: the
// sizes whose adjusted size fits 32 bits). Callers compute a size in 64 bits
// and ask this before anything is allocated.
bool MemSizeAccepted(int64_t size);

// Frees the entries at positions mark and above, newest first, by their own
// Block fields; the owner variables keep their old addresses.
void MemFreeAbove(int32_t mark);

// ------------------------------------------------------ bytes and numbers

// Sets count bytes at dest to value; count <= 0 does nothing.
void FillBytes(void* dest, int32_t count, uint8_t value);
// Copies count bytes; overlapping ranges are copied correctly.
void MoveBytes(const void* source, void* dest, int32_t count);
// Exchanges count bytes of two ranges, position by position.
void SwapBytes(void* a, void* b, int32_t count);
// Lowers value to high, then raises it to low (low wins when low > high).
int32_t Clamp(int32_t value, int32_t low, int32_t high);
bool HasBits(int32_t value, int32_t mask);

// The decimal digits of value read as unsigned 32-bit, then by mode:
//   0..99     right-aligned in a field of mode characters;
//   100..199  grouped by threes with "," and right-aligned in mode - 100;
//   200..     zero-padded to mode - 200 digits.
// A number longer than its field is never cut.
std::string FormatNumber(int32_t value, int32_t mode);

// ------------------------------------------------------ tracked text files

constexpr int32_t FileTableSize = 64;

// FileOpenText mode bits; neither bit opens for reading.
constexpr int32_t FileCreate = 4;
constexpr int32_t FileAppend = 8;

// Opens a tracked text file and stores its id (never reused) in id, or
// NotFound on failure. Sets CurrentFileName to name. Returns 0 or the code
// of a file error of Errors.h (ErrFileCannotOpen, ErrFileCannotCreate,
// ErrFileCannotAppend, ErrFileFatal when the table is full), which goes to
// MonSetError(ErrCatFile, code).
int32_t FileOpenText(int32_t& id, const std::string& name, int32_t mode);
// Writes text and CR LF; 0 or ErrFileCannotWrite's code, which goes to
// MonSetError(ErrCatFile, code). An id that is not open writes nothing and
// gives 0.
int32_t FileWriteLine(int32_t id, const std::string& text);
// Closes the file; a failed close is only the warning ErrFileCannotClose. Unknown ids
// are ignored.
void FileClose(int32_t id);
int32_t FileCount();
// Closes the files at positions mark and above, newest first.
void FileCloseAbove(int32_t mark);
// Id and name of the file at a position (0 .. FileCount() - 1).
int32_t FileIdAt(int32_t position);
const std::string& FileNameAt(int32_t position);
