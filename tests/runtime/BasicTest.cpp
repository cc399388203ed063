// Tracked memory, byte and number routines, tracked text files.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "RuntimeFixture.h"
#include "runtime/Basic.h"
#include "runtime/Errors.h"
#include "runtime/HeapSeam.h"

using Mem = RuntimeFixture;

TEST_F(Mem, SizesAreScaledRoundedHalfEvenAndPaddedToFour) {
  struct Case { int32_t size, block; } cases[] = {
      {1, 4}, {2, 4}, {3, 4}, {12, 16}, {50, 52}, {100, 108}, {1000, 1052}, {10, 12},
      // 30 x 1.05 = 31.5 rounds to the even 32; 50 x 1.05 = 52.5 rounds to 52.
      {30, 32}, {70, 76}};
  for (const Case& c : cases) {
    char* p = nullptr;
    ASSERT_EQ(MemAlloc(p, c.size), 0) << c.size;
    EXPECT_EQ(MemTable[MemFind(p, ByBlock)].Size, c.block) << c.size;
    MemFree(p);
  }
}

TEST_F(Mem, EverySmallSizeMatchesTheExactRule) {
  for (int32_t size = 1; size <= 4000; ++size) {
    const int64_t t = int64_t(size) * 21, q = t / 20, r = t % 20;  // size x 1.05 exactly
    const int64_t rounded = r > 10 || (r == 10 && q % 2 == 1) ? q + 1 : q;
    char* p = nullptr;
    ASSERT_EQ(MemAlloc(p, size), 0) << size;
    ASSERT_EQ(MemTable[MemFind(p, ByBlock)].Size, (rounded + 3) / 4 * 4) << size;
    MemFree(p);
  }
}

TEST_F(Mem, NamesOfEveryLengthAreWhole) {
  for (size_t length : {size_t(1), size_t(60), size_t(66), size_t(67), size_t(68), size_t(300)}) {
    const std::string name(length, 'n');
    char* p = nullptr;
    ASSERT_EQ(MemAlloc(p, 8, 1234567, name), 0);
    EXPECT_EQ(MemTable[MemFind(p, ByBlock)].Name, "C:" + name + ":1,234,567") << length;
    MemFree(p);
  }
}

TEST_F(Mem, InvalidSizesGiveFiveAndLeaveTheVariable) {
  for (int32_t size : {0, -1, 2045222519, INT32_MAX}) {
    char* p = nullptr;
    EXPECT_EQ(MemAlloc(p, size), ErrMemInvalidRequest.Code) << size;
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(LastError(), ErrMemInvalidRequest);
    EXPECT_FALSE(MemSizeAccepted(size)) << size;
  }
  EXPECT_FALSE(MemSizeAccepted(int64_t(INT32_MAX) + 1));
  EXPECT_FALSE(MemSizeAccepted(INT64_MAX));
  EXPECT_TRUE(MemSizeAccepted(1));
  EXPECT_TRUE(MemSizeAccepted(2045222518));
  // The largest valid size: a 32-bit process may well not get 2 GB.
  char* p = nullptr;
  int32_t result = MemAlloc(p, 2045222518);
  EXPECT_TRUE(result == 0 || result == ErrMemAllocFault.Code) << result;
  MemFree(p);
}

TEST_F(Mem, InvalidSizeInsideASectionRaisesItsMessage) {
  char* p = nullptr;
  EXPECT_EQ(RaisedBy([&] { MonRun([&] { MemAlloc(p, 0); }); }), "Invalid memory request.");
  EXPECT_EQ(p, nullptr);
}

TEST_F(Mem, NamesShowPositionOrNameAndGroupedTag) {
  char* a = nullptr;
  char* b = nullptr;
  MemAlloc(a, 10);
  MemAlloc(b, 10, 1200, "(ImgAlloc):X");
  EXPECT_EQ(MemTable[base].Name, "C:Handle #" + FormatNumber(base, 0) + ":0");
  EXPECT_EQ(MemTable[base + 1].Name, "C:(ImgAlloc):X:1,200");
  MemFree(b);
  MemFree(a);
}

TEST_F(Mem, ResizeKeepsPositionAndContentsAndRebuildsName) {
  uint8_t* p = nullptr;
  MemAlloc(p, 8, 1, "first");
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(i + 1);
  int32_t pos = MemFind(p, ByBlock);
  ASSERT_EQ(MemAlloc(p, 4000, 2, "second"), 0);
  EXPECT_EQ(MemCount(), base + 1);
  EXPECT_EQ(MemFind(p, ByBlockAndOwner), pos);
  EXPECT_EQ(MemTable[pos].Size, 4200);
  EXPECT_EQ(MemTable[pos].Name, "C:second:2");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], i + 1);
  MemFree(p);
}

TEST_F(Mem, AnotherOwnerOfTheSameAddressGetsANewBlock) {
  char* p = nullptr;
  MemAlloc(p, 16);
  char* q = p;  // same address, not the registered owner
  EXPECT_EQ(MemFind(q, ByBlock), base);
  EXPECT_EQ(MemFind(q, ByBlockAndOwner), NotFound);
  MemAlloc(q, 16);
  EXPECT_NE(q, p);
  EXPECT_EQ(MemCount(), base + 2);
  MemFree(q);
  MemFree(p);
}

TEST_F(Mem, FreeOfNullOrUntrackedChangesNothing) {
  char* p = nullptr;
  MemFree(p);
  EXPECT_EQ(p, nullptr);
  char local[4];
  char* q = local;
  MemFree(q);
  EXPECT_EQ(q, local);
  EXPECT_FALSE(MemTest(q));
  EXPECT_EQ(MemCount(), base);
}

TEST_F(Mem, RemovalMovesTheLastEntryIntoTheHole) {
  char *a = nullptr, *b = nullptr, *c = nullptr;
  MemAlloc(a, 4);
  MemAlloc(b, 4);
  MemAlloc(c, 4);
  char* cBlock = c;
  MemFree(a);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(MemTable[base].Block, cBlock);
  EXPECT_EQ(MemTable[base].Owner, static_cast<void*>(&c));
  EXPECT_EQ(MemCount(), base + 2);
  MemFree(b);
  MemFree(c);
}

TEST_F(Mem, SwapExchangesBlocksAndSizesButNotOwners) {
  char* a = nullptr;
  char* b = nullptr;
  MemAlloc(a, 10, 0, "a");
  MemAlloc(b, 100, 0, "b");
  char *blockA = a, *blockB = b;
  MemSwap(a, b);
  std::swap(a, b);
  EXPECT_TRUE(MemTest(a));
  EXPECT_TRUE(MemTest(b));
  EXPECT_EQ(a, blockB);
  int32_t ia = MemFind(a, ByBlockAndOwner), ib = MemFind(b, ByBlockAndOwner);
  ASSERT_GE(ia, 0);
  ASSERT_GE(ib, 0);
  EXPECT_EQ(MemTable[ia].Size, 108);
  EXPECT_EQ(MemTable[ia].Name, "C:a:0");
  EXPECT_EQ(b, blockA);
  MemFree(a);
  MemFree(b);
}

TEST_F(Mem, SwapWithAnUntrackedBlockIsAManagerFault) {
  char* a = nullptr;
  char* b = nullptr;
  MemAlloc(a, 10);
  EXPECT_EQ(RaisedBy([&] { MemSwap(a, b); }), "Memory manager fault.");
  EXPECT_TRUE(MemTest(a)) << "a block obtained before the swap stays";
  MemFree(a);
}

TEST_F(Mem, FullTableGivesSixAndHandsOutNoBlock) {
  std::vector<char*> blocks(size_t(MemTableSize - base), nullptr);
  for (char*& p : blocks) ASSERT_EQ(MemAlloc(p, 1), 0);
  EXPECT_EQ(MemCount(), MemTableSize);
  EXPECT_EQ(MemPeak(), MemTableSize);
  // A block left in the variable would be lost by any caller whose section
  // fails (the leak sanitizer sees it): none is made.
  char* extra = nullptr;
  EXPECT_EQ(MemAlloc(extra, 1), ErrMemFatal.Code);
  EXPECT_EQ(extra, nullptr);
  EXPECT_EQ(LastError(), ErrMemFatal);
  // Resizing a tracked block needs no new entry.
  EXPECT_EQ(MemAlloc(blocks.back(), 100), 0);
  EXPECT_EQ(MemCount(), MemTableSize);
  std::vector<char*> owners = blocks;
  MemFreeAbove(base);
  EXPECT_EQ(MemCount(), base);
  EXPECT_EQ(blocks, owners) << "owners keep their old addresses";
}

TEST_F(Mem, FreeAboveReleasesFromTheMarkAndLeavesEverythingBelowInPlace) {
  char *a = nullptr, *b = nullptr, *c = nullptr;
  MemAlloc(a, 4, 0, "a");
  MemAlloc(b, 4, 0, "b");
  MemAlloc(c, 4, 0, "c");
  char *bBlock = b, *cBlock = c;
  MemFreeAbove(MemCount());
  EXPECT_EQ(MemCount(), base + 3) << "a mark at the count frees nothing";
  MemFreeAbove(base + 1);
  ASSERT_EQ(MemCount(), base + 1);
  EXPECT_EQ(MemTable[base].Block, static_cast<void*>(a));
  EXPECT_EQ(MemTable[base].Owner, static_cast<void*>(&a));
  EXPECT_EQ(MemTable[base].Name, "C:a:0");
  EXPECT_FALSE(MemTest(b));
  EXPECT_FALSE(MemTest(c));
  EXPECT_EQ(b, bBlock) << "the owner variables are not reset";
  EXPECT_EQ(c, cBlock);
  MemFree(a);
}

// A released block of 16 KB or more serves the next request that it holds
// without wasting half of it, as a new tracked block with its own name, and
// is kept again at its whole capacity; a request far smaller, or a block
// below 16 KB, goes to the heap. The sanitizer build keeps blocks only when
// a test asks.
TEST_F(Mem, ReleasedLargeBlocksServeTheNextRequestsOfTheirSize) {
  const MemKeepingForTests keeping;
#ifdef SPIRALUX_ADDRESS_SANITIZER
  EXPECT_FALSE(keeping.Before());
#else
  EXPECT_TRUE(keeping.Before());
#endif
  char *a = nullptr, *b = nullptr;
  MemAlloc(a, 100000, 0, "a");
  a[99999] = 7;
  char* released = a;
  MemFree(a);
  MemAlloc(b, 20000, 0, "b");  // far smaller: not the kept block
  EXPECT_NE(b, released);
  MemFree(b);
  MemAlloc(a, 90000, 3, "again");
  EXPECT_EQ(a, released);
  ASSERT_EQ(MemFind(a, ByBlockAndOwner), base);
  EXPECT_EQ(MemTable[base].Size, 94500);
  EXPECT_EQ(MemTable[base].Name, "C:again:3");
  MemFree(a);
  MemAlloc(a, 100000);  // the whole 105,000 bytes again
  EXPECT_EQ(a, released);
  MemAlloc(a, 200000, 0, "again");  // a resize of a reused block
  a[199999] = 1;
  EXPECT_EQ(MemCount(), base + 1);
  MemFree(a);
  EXPECT_EQ(MemCount(), base);
}

// A heap that refuses gets the kept blocks back and is asked again; when it
// refuses again, or nothing was kept, the request fails with its code and
// leaves the variable and the table as they were.
TEST_F(Mem, ARefusingHeapGetsTheKeptBlocksBackBeforeTheRequestFails) {
  const MemKeepingForTests keeping;
  char *a = nullptr, *b = nullptr;
  MemAlloc(a, 100000);
  MemFree(a);
  ASSERT_EQ(MemKeptForTests().Blocks, 1);
  MemHeapRefusesForTests(0, 1);
  EXPECT_EQ(MemAlloc(b, 20000), 0);
  EXPECT_EQ(MemKeptForTests().Blocks, 0);
  char* held = b;
  MemHeapRefusesForTests(0, 1);
  EXPECT_EQ(MemAlloc(b, 40000), ErrMemReallocFault.Code);
  EXPECT_EQ(b, held);
  EXPECT_EQ(MemTable[MemFind(b, ByBlockAndOwner)].Size, 21000);
  MemHeapRefusesForTests(1, 1);
  EXPECT_EQ(RaisedBy([&] { MonRun([&] {
              MemAlloc(a, 10);
              MemAlloc(a, 20);
            }); }),
            "Memory reallocation fault.");
  EXPECT_EQ(MemCount(), base + 1) << "the section's block is freed";
  MemFree(b);
  MemHeapRefusesForTests(0, 2);
  EXPECT_EQ(MemAlloc(a, 100000), ErrMemAllocFault.Code) << "kept blocks returned, refused again";
  EXPECT_EQ(MemKeptForTests().Blocks, 0);
  EXPECT_EQ(MemCount(), base);
  MemHeapRefusesForTests(0, 0);
}

#ifdef SPIRALUX_ADDRESS_SANITIZER
// A block released and then obtained again, by a smaller request or by
// another owner, is checked as a block of its own: a write one byte past its
// size, or through the variable that held it before, is reported.
TEST_F(Mem, AWriteOutsideAReobtainedBlockIsReported) {
  struct Case { int32_t released, requested; bool throughOldOwner; const char* report; } cases[] = {
      {40000, 30000, false, "heap-buffer-overflow"}, {40000, 40000, true, "heap-use-after-free"}};
  for (const Case& c : cases) {
    char *old = nullptr, *p = nullptr;
    MemAlloc(old, c.released);
    char* stale = old;
    MemFree(old);
    MemAlloc(p, c.requested);
    volatile char* target = c.throughOldOwner ? stale : p + MemTable[MemFind(p, ByBlock)].Size;
    EXPECT_DEATH(*target = 1, c.report) << c.released << " -> " << c.requested;
    MemFree(p);
  }
}
#endif

TEST(Bytes, FillMoveSwapHonourCountsAndOverlap) {
  uint8_t buf[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  MoveBytes(buf, buf + 2, 8);
  const uint8_t shifted[10] = {1, 2, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(0, std::memcmp(buf, shifted, 10));
  MoveBytes(buf + 2, buf, 8);
  const uint8_t back[10] = {1, 2, 3, 4, 5, 6, 7, 8, 7, 8};
  EXPECT_EQ(0, std::memcmp(buf, back, 10));

  uint8_t x[3] = {1, 2, 3}, y[3] = {7, 8, 9};
  FillBytes(x, 0, 0xFF);
  FillBytes(x, -4, 0xFF);
  SwapBytes(x, y, 0);
  SwapBytes(x, y, -1);
  MoveBytes(y, x, 0);
  EXPECT_EQ(x[0], 1);
  EXPECT_EQ(y[0], 7);
  SwapBytes(x, y, 2);
  EXPECT_EQ(x[0], 7);
  EXPECT_EQ(x[2], 3);
  EXPECT_EQ(y[1], 2);
  FillBytes(x, 3, 0xAB);
  EXPECT_EQ(x[2], 0xAB);
}

TEST(Numbers, ClampLowersFirstThenRaises) {
  EXPECT_EQ(Clamp(50, 1, 40), 40);
  EXPECT_EQ(Clamp(-5, 1, 40), 1);
  EXPECT_EQ(Clamp(17, 1, 40), 17);
  EXPECT_EQ(Clamp(5, 10, 1), 10);
  EXPECT_TRUE(HasBits(0x18, 0x10));
  EXPECT_FALSE(HasBits(0x08, 0x10));
}

TEST(Numbers, FormatNumberModes) {
  struct Case { int32_t value, mode; const char* text; } cases[] = {
      {0, 0, "0"},           {42, 5, "   42"},     {1234567, 100, "1,234,567"},
      {999, 100, "999"},     {1000, 100, "1,000"}, {123, 105, "  123"},
      {7, 203, "007"},       {-1, 0, "4294967295"}, {-1, 100, "4,294,967,295"},
      {123456, 3, "123456"}, {12345, 102, "12,345"}, {5, 200, "5"}};
  for (const Case& c : cases) EXPECT_EQ(FormatNumber(c.value, c.mode), c.text) << c.value << " " << c.mode;
}

using Files = RuntimeFixture;

TEST_F(Files, IdsGrowAcrossClosesAndLinesEndInCrLf) {
  std::string name = TempPath("files.txt");
  int32_t first, second;
  ASSERT_EQ(FileOpenText(first, name, FileCreate), 0);
  EXPECT_EQ(CurrentFileName(), name);
  EXPECT_EQ(FileWriteLine(first, "one"), 0);
  FileClose(first);
  ASSERT_EQ(FileOpenText(second, name, FileAppend), 0);
  EXPECT_EQ(second, first + 1);
  FileWriteLine(second, "two");
  FileClose(second);
  EXPECT_EQ(FileCount(), 0);
  EXPECT_EQ(ReadFile(name), "one\r\ntwo\r\n");
  EXPECT_EQ(FileWriteLine(second, "lost"), 0) << "a closed id writes nothing";
  EXPECT_EQ(ReadFile(name), "one\r\ntwo\r\n");
}

TEST_F(Files, FailedOpensGiveTheirCodeAndNamedMessage) {
  std::string missing = TempPath("missing/none.txt");
  int32_t id = 5;
  EXPECT_EQ(FileOpenText(id, missing, 0), ErrFileCannotOpen.Code);
  EXPECT_EQ(id, NotFound);
  EXPECT_EQ(ErrorText(6, 1), "Cannot open file: " + missing);
  EXPECT_EQ(FileOpenText(id, missing, FileAppend), ErrFileCannotAppend.Code);
  EXPECT_EQ(FileOpenText(id, missing, FileCreate), ErrFileCannotCreate.Code);
  EXPECT_EQ(LastError(), ErrFileCannotCreate);
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(Files, TheSixtyFifthOpenGivesElevenAndLeavesTheTable) {
  std::string name = TempPath("many.txt");
  int32_t ids[FileTableSize];
  for (int32_t& id : ids) ASSERT_EQ(FileOpenText(id, name, FileCreate), 0);
  int32_t extra = 0;
  EXPECT_EQ(FileOpenText(extra, name, FileCreate), ErrFileFatal.Code);
  EXPECT_EQ(extra, NotFound);
  EXPECT_EQ(FileCount(), FileTableSize);
  EXPECT_EQ(FileIdAt(FileTableSize - 1), ids[FileTableSize - 1]);
  FileCloseAbove(0);
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(Files, AFailingSectionClosesTheFilesItOpened) {
  std::string name = TempPath("section.txt");
  int32_t outer, inner;
  FileOpenText(outer, name, FileCreate);
  EXPECT_THROW(MonRun([&] {
                 FileOpenText(inner, name, FileCreate);
                 MonSetError(7, 9);
               }),
               EMon);
  EXPECT_EQ(FileCount(), 1);
  EXPECT_EQ(FileIdAt(0), outer);
  FileClose(outer);
}
