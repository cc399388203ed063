// The format catalogue: the facts that tie its rows and its two tables
// together.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "formats/FormatCatalog.h"

namespace {

const QffDesc* FindById(const QffDesc* table, int32_t count, int32_t id) {
  for (int32_t i = 0; i < count; ++i)
    if (table[i].Identifier == id) return &table[i];
  return nullptr;
}

}  // namespace

TEST(Formats, ReadIdentifiersAreOneToTwentyOnce) {
  std::set<int32_t> ids;
  for (const QffDesc& f : ReadFormats) ids.insert(f.Identifier);
  EXPECT_EQ(ids.size(), 20u);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 20);
}

TEST(Formats, KindBitsAgreeWithWhatTheFormatCarries) {
  for (const QffDesc* table : {ReadFormats, WriteFormats}) {
    int32_t count = table == ReadFormats ? ReadFormatCount : WriteFormatCount;
    for (int32_t i = 0; i < count; ++i) {
      uint32_t k = table[i].Kind;
      SCOPED_TRACE(table[i].ShortName);
      EXPECT_EQ((k & FormatPictures) != 0, (k & (FormatStill | FormatSequence)) != 0);
      if (k & FormatSoundOnly) {
        EXPECT_TRUE(k & FormatSound);
      }
      EXPECT_EQ(table[i].Extensions[0], '.');
    }
  }
}

TEST(Formats, EveryWrittenFormatIsReadUnderTheSameIdentifier) {
  std::set<int32_t> written;
  for (const QffDesc& w : WriteFormats) {
    EXPECT_TRUE(written.insert(w.Identifier).second) << "twice: " << w.ShortName;
    const QffDesc* r = FindById(ReadFormats, ReadFormatCount, w.Identifier);
    ASSERT_NE(r, nullptr) << w.ShortName;
    // The written extensions are among the read ones.
    std::string read = r->Extensions;
    std::string ext = w.Extensions;
    for (size_t at = 0; at < ext.size();) {
      size_t next = ext.find('.', at + 1);
      std::string one = ext.substr(at, next - at);
      EXPECT_NE((read + ".").find(one + "."), std::string::npos) << one;
      at = next == std::string::npos ? ext.size() : next;
    }
  }
}

TEST(Formats, TheTablesDifferWhereListed) {
  EXPECT_EQ(FindById(WriteFormats, WriteFormatCount, 16), nullptr);  // BAY
  EXPECT_EQ(FindById(WriteFormats, WriteFormatCount, 20), nullptr);  // CINE
  EXPECT_EQ(FindById(ReadFormats, ReadFormatCount, 4)->Kind, 0x0Bu);  // GIF sequences
  EXPECT_EQ(FindById(WriteFormats, WriteFormatCount, 4)->Kind, 0x09u);

  const QffDesc* mpaRead = FindById(ReadFormats, ReadFormatCount, 18);
  const QffDesc* mpaWrite = FindById(WriteFormats, WriteFormatCount, 18);
  EXPECT_STREQ(mpaRead->LongName, "MPEG Audio Layer I/II/III");
  EXPECT_STREQ(mpaRead->Description, "MPA, MPEG Audio Layer I/II/III");
  EXPECT_STREQ(mpaWrite->LongName, "MPEG Audio Layer II");
  EXPECT_STREQ(mpaWrite->Description, "MP2, MPEG Audio Layer II");

  const QffDesc* pnmRead = FindById(ReadFormats, ReadFormatCount, 15);
  const QffDesc* pnmWrite = FindById(WriteFormats, WriteFormatCount, 15);
  EXPECT_STREQ(pnmRead->LongName, "Portable Image");
  EXPECT_STREQ(pnmRead->Description, "PNM, Portable Image");
  EXPECT_STREQ(pnmWrite->LongName, "Portable PixelMap");
  EXPECT_STREQ(pnmWrite->Description, "PPM, Portable PixelMap");
}

TEST(Formats, OtherFormatsReadAndWriteUnderTheSameNames) {
  for (const QffDesc& w : WriteFormats) {
    if (w.Identifier == 18 || w.Identifier == 15) continue;
    const QffDesc* r = FindById(ReadFormats, ReadFormatCount, w.Identifier);
    SCOPED_TRACE(w.ShortName);
    EXPECT_STREQ(r->ShortName, w.ShortName);
    EXPECT_STREQ(r->LongName, w.LongName);
    EXPECT_STREQ(r->Description, w.Description);
    if (w.Identifier != 4) {
      EXPECT_EQ(r->Kind, w.Kind);
    }
  }
}

TEST(Formats, NoExtensionBelongsToTwoFormatsOfATable) {
  for (const QffDesc* table : {ReadFormats, WriteFormats}) {
    int32_t count = table == ReadFormats ? ReadFormatCount : WriteFormatCount;
    std::set<std::string> seen;
    for (int32_t i = 0; i < count; ++i) {
      std::string ext = table[i].Extensions;
      for (size_t at = 0; at < ext.size();) {
        size_t next = ext.find('.', at + 1);
        std::string one = ext.substr(at, next - at);
        EXPECT_GT(one.size(), 1u) << table[i].ShortName << ": an empty extension";
        EXPECT_TRUE(seen.insert(one).second) << one << " twice";
        at = next == std::string::npos ? ext.size() : next;
      }
    }
  }
}
