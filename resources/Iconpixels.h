#pragma once
// The form in which the build stores the window icon's pixels, so that the
// program uses them without decoding an image file at start-up: this header,
// then the rows of premultiplied 32-bit ARGB pixels
// (QImage::Format_ARGB32_Premultiplied), top row first. Numbers and pixels
// are in the byte order of the machine that built the program (the file is
// made during the build, for the program built alongside).
#include <cstdint>

struct TIconPixelsHeader
{
    char Magic[4]; // IconPixelsMagic
    uint32_t Width;
    uint32_t Height;
    uint32_t Reserved; // 0; keeps the pixels 16-byte aligned
};
static_assert(sizeof(TIconPixelsHeader) == 16, "no padding");

inline constexpr char IconPixelsMagic[4] = {'T', 'P', 'X', '1'};
