// The format catalogue: every row as tabled, and the facts that tie the two
// tables together.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "formats/FormatCatalog.h"

namespace {

struct Row {
  int32_t id;
  uint32_t kind;
  const char* extensions;
  const char* shortName;
};

const Row readRows[] = {
    {7, 0x1A, ".hav", "HAV"},          {4, 0x0B, ".gif.giff", "GIF"},
    {3, 0x09, ".bmp.dib.rle", "BMP"},  {5, 0x0A, ".flc.fli", "FLIC"},
    {14, 0x09, ".ras.sun.im1.rast", "RGB"}, {13, 0x09, ".rgb.rgba.bw.sgi", "SGI"},
    {15, 0x09, ".pnm.ppm.pgm", "PNM"}, {2, 0x09, ".pcx", "PCX"},
    {9, 0x09, ".png", "PNG"},          {6, 0x1A, ".avi.ivf.divx", "AVI"},
    {12, 0x14, ".wav", "WAV"},         {8, 0x09, ".jpg.jpeg.jif.jfif.J.jpe", "JPEG"},
    {10, 0x09, ".tif.tiff.tim", "TIFF"}, {11, 0x1A, ".mpg.mpeg.m1v.m2v.dat.mpe", "MPEG"},
    {1, 0x09, ".tga.targa", "TGA"},    {16, 0x09, ".bay.tp2", "BAY"},
    {17, 0x09, ".xpm.pm", "XPM"},      {18, 0x14, ".mp3.mp2.m2a.mpa", "MPA"},
    {19, 0x14, ".ogg", "OGG"},         {20, 0x0A, ".cin", "CINE"},
};

const Row writeRows[] = {
    {6, 0x1A, ".avi.divx", "AVI"},     {3, 0x09, ".bmp.dib", "BMP"},
    {5, 0x0A, ".flc", "FLIC"},         {4, 0x09, ".gif", "GIF"},
    {7, 0x1A, ".hav", "HAV"},          {8, 0x09, ".jpg.jpeg", "JPEG"},
    {11, 0x1A, ".mpg.mpeg.m1v.dat", "MPEG"}, {18, 0x14, ".mp2", "MPA"},
    {19, 0x14, ".ogg", "OGG"},         {2, 0x09, ".pcx", "PCX"},
    {9, 0x09, ".png", "PNG"},          {15, 0x09, ".ppm.pnm", "PPM"},
    {14, 0x09, ".ras.sun.im1", "RGB"}, {13, 0x09, ".rgb.sgi", "SGI"},
    {1, 0x09, ".tga", "TGA"},          {10, 0x09, ".tif.tiff", "TIFF"},
    {12, 0x14, ".wav", "WAV"},         {17, 0x09, ".xpm", "XPM"},
};

const QffDesc* FindById(const QffDesc* table, int32_t count, int32_t id) {
  for (int32_t i = 0; i < count; ++i)
    if (table[i].Identifier == id) return &table[i];
  return nullptr;
}

void ExpectRows(const QffDesc* table, const Row* rows, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table[i].Identifier, rows[i].id);
    EXPECT_EQ(table[i].Kind, rows[i].kind);
    EXPECT_STREQ(table[i].Extensions, rows[i].extensions);
    EXPECT_STREQ(table[i].ShortName, rows[i].shortName);
  }
}

}  // namespace

TEST(Formats, ReadTableHasItsTwentyRowsInOrder) {
  static_assert(sizeof readRows / sizeof readRows[0] == ReadFormatCount, "rows");
  ExpectRows(ReadFormats, readRows, ReadFormatCount);
}

TEST(Formats, WriteTableHasItsEighteenRowsInOrder) {
  static_assert(sizeof writeRows / sizeof writeRows[0] == WriteFormatCount, "rows");
  ExpectRows(WriteFormats, writeRows, WriteFormatCount);
}

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
  for (const QffDesc& w : WriteFormats) {
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
