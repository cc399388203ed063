// Tracked memory, byte and number routines, tracked text files.
#include "runtime/Basic.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "runtime/Errors.h"
#include "runtime/HeapSeam.h"

#ifdef SPIRALUX_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

MemEntry MemTable[MemTableSize];

namespace {

// Writes the decimal digits of v, grouped by threes with "," when asked,
// backwards so that they end at end (room for 13 characters); returns their
// start.
char* WriteDigits(char* end, uint32_t v, bool grouped) {
  char* p = end;
  int digits = 0;
  do {
    if (grouped && digits > 0 && digits % 3 == 0) *--p = ',';
    *--p = char('0' + v % 10);
    v /= 10;
    ++digits;
  } while (v != 0);
  return p;
}

int32_t memCount = 0;
int32_t memPeak = 0;

void* ReadOwner(const void* owner) {
  void* p;
  std::memcpy(&p, owner, sizeof p);
  return p;
}

void WriteOwner(void* owner, void* p) { std::memcpy(owner, &p, sizeof p); }

// Builds the entry's name in place, reusing the entry's own storage: this
// runs on every allocation, so the name's length is found first and its
// parts are copied into it.
void SetBlockName(std::string& entryName, const std::string& name, int32_t position, int32_t tag) {
  char positionDigits[16], tagDigits[16];
  char* const positionEnd = positionDigits + sizeof positionDigits;
  char* const tagEnd = tagDigits + sizeof tagDigits;
  const bool handle = name.empty();
  const char* head = handle ? "Handle #" : name.data();
  const size_t headLength = handle ? 8 : name.size();
  const char* positionAt = handle ? WriteDigits(positionEnd, uint32_t(position), false) : positionEnd;
  const char* tagAt = WriteDigits(tagEnd, uint32_t(tag), true);
  const size_t positionLength = size_t(positionEnd - positionAt), tagLength = size_t(tagEnd - tagAt);
  entryName.resize(2 + headLength + positionLength + 1 + tagLength);
  char* at = &entryName[0];
  std::memcpy(at, "C:", 2);
  std::memcpy(at += 2, head, headLength);
  std::memcpy(at += headLength, positionAt, positionLength);
  at += positionLength;
  *at++ = ':';
  std::memcpy(at, tagAt, tagLength);
}

// size x 1.05, rounded half to even, then up to a multiple of 4; -1 when the
// request is not a valid size.
int64_t AdjustedSize(int32_t size) {
  if (size <= 0) return -1;
  // 21 size / 20 is size + size / 20, remainder size % 20: 32-bit divisions,
  // which the 32-bit build does inline rather than through its runtime.
  const int64_t q = int64_t(size) + size / 20;
  const int32_t r = size % 20;
  const int64_t rounded = (r > 10 || (r == 10 && (q & 1))) ? q + 1 : q;
  if (rounded + 3 > INT32_MAX) return -1;
  return (rounded + 3) / 4 * 4;
}

// Released blocks kept for the next requests of about their size. A paint
// or a frame obtains the same few blocks of tens or hundreds of kilobytes
// each time, and the C heap hands such a block back to the system once it
// is released (glibc trims the top of its heap beyond 128 KB of free space;
// the Windows heap decommits free space beyond 64 KB, and large blocks at
// once): the next request then meets fresh pages, a fault for each, which
// costs more than the work on a small picture. Kept blocks stay out of the
// table. A kept block handed to a smaller request keeps its capacity beside
// the entry's Size, so that it is kept again at that capacity.
//
// Under AddressSanitizer a kept block would hide faults from its checks: a
// write past a smaller request's size, or through the variable that held
// the block before, would land in a block of the library instead of a
// redzone or a freed block. There blocks are released at once unless a test
// keeps them; those kept are poisoned while kept and beyond the request's
// size once handed out.
struct KeptBlock {
  void* Block;
  int64_t Capacity;
};
KeptBlock kept[MemKeptMost];  // the most recently released first
int32_t keptCount = 0;
int64_t keptBytes = 0;
#ifdef SPIRALUX_ADDRESS_SANITIZER
int64_t keptLargest = 0;
#else
int64_t keptLargest = MemKeptBytesMost;
#endif

// The capacity of each tracked block, by table position: its Size, or more
// for a kept block handed to a smaller request.
int64_t capacity[MemTableSize];

void Release(void* block, int64_t bytes) {
#ifdef SPIRALUX_ADDRESS_SANITIZER
  ASAN_UNPOISON_MEMORY_REGION(block, size_t(bytes));
#endif
  std::free(block);
}

void ReleaseOldestKept() {
  const KeptBlock& oldest = kept[--keptCount];
  keptBytes -= oldest.Capacity;
  Release(oldest.Block, oldest.Capacity);
}

void Keep(void* block, int64_t bytes) {
  if (bytes < MemKeptSmallest || bytes > keptLargest) {
    Release(block, bytes);
    return;
  }
  while (keptCount == MemKeptMost || keptBytes + bytes > MemKeptBytesMost) ReleaseOldestKept();
  std::memmove(kept + 1, kept, sizeof(KeptBlock) * size_t(keptCount));
  kept[0] = KeptBlock{block, bytes};
  ++keptCount;
  keptBytes += bytes;
#ifdef SPIRALUX_ADDRESS_SANITIZER
  ASAN_POISON_MEMORY_REGION(block, size_t(bytes));
#endif
}

// The smallest kept block that holds size bytes without wasting more than
// half of them, taken out of the kept ones; {null, 0} when none fits.
KeptBlock TakeKept(int64_t size) {
  int32_t best = -1;
  for (int32_t i = 0; i < keptCount; ++i)
    if (kept[i].Capacity >= size && kept[i].Capacity <= size + size / 2 &&
        (best < 0 || kept[i].Capacity < kept[best].Capacity))
      best = i;
  if (best < 0) return KeptBlock{nullptr, 0};
  const KeptBlock taken = kept[best];
  std::memmove(kept + best, kept + best + 1, sizeof(KeptBlock) * size_t(keptCount - best - 1));
  --keptCount;
  keptBytes -= taken.Capacity;
#ifdef SPIRALUX_ADDRESS_SANITIZER
  ASAN_UNPOISON_MEMORY_REGION(taken.Block, size_t(size));
#endif
  return taken;
}

// The test seam's refusals: the heap grants heapGrants more requests, then
// refuses heapRefusals.
int32_t heapGrants = 0, heapRefusals = 0;

bool HeapRefuses() {
  if (heapRefusals == 0) return false;
  if (heapGrants > 0) {
    --heapGrants;
    return false;
  }
  --heapRefusals;
  return true;
}

// Asks the heap; a heap that refuses gets the kept blocks back and is asked
// again.
template <class Ask>
void* AskHeap(Ask ask) {
  void* block = HeapRefuses() ? nullptr : ask();
  if (block || keptCount == 0) return block;
  while (keptCount > 0) ReleaseOldestKept();
  return HeapRefuses() ? nullptr : ask();
}

int32_t AllocateOrResize(void* owner, int32_t size, int32_t tag, const std::string& name) {
  int64_t adjusted = AdjustedSize(size);
  if (adjusted < 0) return ErrMemInvalidRequest.Code;
  int32_t pos = MemFindAt(owner, ByBlockAndOwner);
  if (pos == NotFound) {
    // A block the table cannot hold is never handed out: a caller inside a
    // failing section would drop it untracked.
    if (memCount == MemTableSize) return ErrMemFatal.Code;
    KeptBlock block = TakeKept(adjusted);
    if (!block.Block) block = {AskHeap([&] { return std::malloc(size_t(adjusted)); }), adjusted};
    if (!block.Block) return ErrMemAllocFault.Code;
    WriteOwner(owner, block.Block);
    capacity[memCount] = block.Capacity;
    MemEntry& e = MemTable[memCount];
    e.Block = block.Block;
    e.Owner = owner;
    e.Size = int32_t(adjusted);
    SetBlockName(e.Name, name, memCount, tag);
    ++memCount;
    if (memCount > memPeak) memPeak = memCount;
    return 0;
  }
  void* block = AskHeap([&] { return std::realloc(MemTable[pos].Block, size_t(adjusted)); });
  if (!block) return ErrMemReallocFault.Code;
  WriteOwner(owner, block);
  capacity[pos] = adjusted;
  MemEntry& e = MemTable[pos];
  e.Block = block;
  e.Owner = owner;
  e.Size = int32_t(adjusted);
  SetBlockName(e.Name, name, pos, tag);
  return 0;
}

}  // namespace

int32_t MemCount() { return memCount; }
int32_t MemPeak() { return memPeak; }

bool MemSizeAccepted(int64_t size) { return size >= 1 && size <= INT32_MAX && AdjustedSize(int32_t(size)) >= 0; }

int32_t MemFindAt(const void* owner, MemFindMode mode) {
  void* block = ReadOwner(owner);
  for (int32_t i = 0; i < memCount; ++i) {
    if (MemTable[i].Block != block) continue;
    if (mode == ByBlock || MemTable[i].Owner == owner) return i;
  }
  return NotFound;
}

int32_t MemAllocAt(void* owner, int32_t size, int32_t tag, const std::string& name) {
  int32_t result = AllocateOrResize(owner, size, tag, name);
  MonSetError(ErrCatMemory, result);
  return result;
}

void MemFreeAt(void* owner) {
  MonWarn(ErrNone);
  int32_t pos = MemFindAt(owner, ByBlock);
  if (pos == NotFound) return;
  // The C heap reports no failure on release, so the ErrMemCannotFree
  // warning of a failed release cannot arise here.
  Keep(MemTable[pos].Block, capacity[pos]);
  int32_t last = memCount - 1;
  if (pos != last) {
    MemTable[pos].Block = MemTable[last].Block;
    MemTable[pos].Owner = MemTable[last].Owner;
    MemTable[pos].Size = MemTable[last].Size;
    capacity[pos] = capacity[last];
    MemTable[pos].Name.swap(MemTable[last].Name);
  }
  MemTable[last].Name.clear();
  memCount = last;
  WriteOwner(owner, nullptr);
}

void MemSwapAt(void* a, void* b) {
  MonRun([&] {
    int32_t i = MemFindAt(a, ByBlock), j = MemFindAt(b, ByBlock);
    if (i == NotFound || j == NotFound) {
      MonSetError(ErrMemManagerFault);
      return;
    }
    std::swap(MemTable[i].Block, MemTable[j].Block);
    std::swap(MemTable[i].Size, MemTable[j].Size);
    std::swap(capacity[i], capacity[j]);
  });
}

void MemFreeAbove(int32_t mark) {
  for (int32_t i = memCount - 1; i >= mark && i >= 0; --i) {
    void* block = MemTable[i].Block;
    MemFree(block);
  }
}

bool MemKeepReleasedForTests(bool on) {
  bool was = keptLargest != 0;
  keptLargest = on ? MemKeptBytesMost : 0;
  if (!on)
    while (keptCount > 0) ReleaseOldestKept();
  return was;
}

void MemHeapRefusesForTests(int32_t granted, int32_t refused) {
  heapGrants = granted;
  heapRefusals = refused;
}

MemKept MemKeptForTests() { return MemKept{keptCount, keptBytes}; }

// ------------------------------------------------------ bytes and numbers

void FillBytes(void* dest, int32_t count, uint8_t value) {
  if (count > 0) std::memset(dest, value, size_t(count));
}

void MoveBytes(const void* source, void* dest, int32_t count) {
  if (count >= 1 && source != dest) std::memmove(dest, source, size_t(count));
}

void SwapBytes(void* a, void* b, int32_t count) {
  auto* x = static_cast<uint8_t*>(a);
  auto* y = static_cast<uint8_t*>(b);
  for (int32_t i = 0; i < count; ++i) std::swap(x[i], y[i]);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

bool HasBits(int32_t value, int32_t mask) { return (value & mask) != 0; }

std::string FormatNumber(int32_t value, int32_t mode) {
  char buf[16];
  char* end = buf + sizeof buf;
  bool grouped = mode >= 100 && mode < 200;
  char* p = WriteDigits(end, uint32_t(value), grouped);
  size_t length = size_t(end - p);
  size_t width = mode >= 200 ? size_t(mode - 200) : grouped ? size_t(mode - 100) : size_t(mode > 0 ? mode : 0);
  if (length >= width) return std::string(p, length);
  std::string text(width - length, mode >= 200 ? '0' : ' ');
  text.append(p, length);
  return text;
}

// ------------------------------------------------------ tracked text files

namespace {

struct FileEntry {
  int32_t Id;
  std::string FileName;
  std::FILE* Handle;
};

FileEntry fileTable[FileTableSize];
int32_t fileCount = 0;
int32_t nextFileId = 1;

int32_t FileFind(int32_t id) {
  for (int32_t i = 0; i < fileCount; ++i)
    if (fileTable[i].Id == id) return i;
  return NotFound;
}

int32_t OpenTracked(int32_t& id, const std::string& name, int32_t mode) {
  if (fileCount == FileTableSize) {
    id = NotFound;
    return ErrFileFatal.Code;
  }
  std::FILE* f;
  int32_t failure;
  if (HasBits(mode, FileCreate)) {
    f = std::fopen(name.c_str(), "wb");
    failure = ErrFileCannotCreate.Code;
  } else if (HasBits(mode, FileAppend)) {
    // Appending never creates: the file must already exist.
    f = std::fopen(name.c_str(), "r+b");
    if (f && std::fseek(f, 0, SEEK_END) != 0) {
      std::fclose(f);
      f = nullptr;
    }
    failure = ErrFileCannotAppend.Code;
  } else {
    f = std::fopen(name.c_str(), "rb");
    failure = ErrFileCannotOpen.Code;
  }
  if (!f) {
    id = NotFound;
    return failure;
  }
  FileEntry& e = fileTable[fileCount];
  e.Id = nextFileId++;
  e.FileName = name.substr(0, 255);
  e.Handle = f;
  ++fileCount;
  id = e.Id;
  return 0;
}

}  // namespace

int32_t FileOpenText(int32_t& id, const std::string& name, int32_t mode) {
  SetCurrentFileName(name);
  int32_t result = OpenTracked(id, name, mode);
  MonSetError(ErrCatFile, result);
  return result;
}

int32_t FileWriteLine(int32_t id, const std::string& text) {
  int32_t result = 0;
  int32_t pos = FileFind(id);
  if (pos != NotFound) {
    std::FILE* f = fileTable[pos].Handle;
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fputs("\r\n", f) < 0)
      result = ErrFileCannotWrite.Code;
  }
  MonSetError(ErrCatFile, result);
  return result;
}

void FileClose(int32_t id) {
  MonWarn(ErrNone);
  int32_t pos = FileFind(id);
  if (pos == NotFound) return;
  if (std::fclose(fileTable[pos].Handle) != 0) MonWarn(ErrFileCannotClose);
  int32_t last = fileCount - 1;
  if (pos != last) {
    fileTable[pos].Id = fileTable[last].Id;
    fileTable[pos].FileName.swap(fileTable[last].FileName);
    fileTable[pos].Handle = fileTable[last].Handle;
  }
  fileTable[last].FileName.clear();
  fileTable[last].Handle = nullptr;
  fileCount = last;
}

int32_t FileCount() { return fileCount; }

void FileCloseAbove(int32_t mark) {
  for (int32_t i = fileCount - 1; i >= mark && i >= 0; --i) FileClose(fileTable[i].Id);
}

int32_t FileIdAt(int32_t position) { return fileTable[position].Id; }
const std::string& FileNameAt(int32_t position) { return fileTable[position].FileName; }
