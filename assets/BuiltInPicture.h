// The built-in preview picture: a picture block (see image/Load.h) of
// 160 x 120 pixels at 3 bytes per pixel, stored raw, 57,616 bytes in all.
// The spiral of SpiralPicture.h at that size; BuiltInPicture.cpp is written
// by the spiral_picture program of this folder.
#pragma once

#include <cstdint>

constexpr int32_t BuiltInPictureWidth = 160;
constexpr int32_t BuiltInPictureHeight = 120;
constexpr int32_t BuiltInPictureBytes = 16 + BuiltInPictureWidth * BuiltInPictureHeight * 3;

extern const uint8_t BuiltInPicture[BuiltInPictureBytes];
