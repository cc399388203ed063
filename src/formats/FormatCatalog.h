// The media-format catalogue: the formats the media library reads, with every
// extension it recognises, and the formats it writes, sorted by extension.
// A format has the same identifier in both tables. The tables are constant
// for the whole run; nothing in the screen saver consults them. The
// start-up and shut-down of the platform media services are in
// MediaServicesWin32.h.
#pragma once

#include <cstdint>

// What a format carries (the kind bit set).
constexpr uint32_t FormatStill = 1;      // single pictures
constexpr uint32_t FormatSequence = 2;   // sequences of pictures (movies, animations)
constexpr uint32_t FormatSoundOnly = 4;  // sound only
constexpr uint32_t FormatPictures = 8;   // every format with pictures
constexpr uint32_t FormatSound = 16;     // every format with sound

struct QffDesc {
  int32_t Identifier;       // 1..20, the same for a format in both tables
  uint32_t Kind;            // the bits above
  const char* Extensions;   // each with its dot, no separator: ".bmp.dib.rle"
  const char* ShortName;
  const char* LongName;
  const char* Description;  // for lists of formats
};

constexpr int32_t ReadFormatCount = 20;
constexpr int32_t WriteFormatCount = 18;

extern const QffDesc ReadFormats[ReadFormatCount];
extern const QffDesc WriteFormats[WriteFormatCount];
