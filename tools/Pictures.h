// The viewer headless, for the tools that draw: its start-up at a chosen
// size, and its back buffer read back as pixels.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

namespace VorelTools {

// The viewer's start-up, headless, with a back buffer of that size; false,
// having said why on standard error after `tool`'s name, when it cannot
// start. StopGraphics undoes it.
bool StartGraphics(const char* tool, int width, int height);
void StopGraphics();

// The back buffer's pixels as RGB.
bool ReadBack(LPDIRECT3DDEVICE9 device, int* width, int* height, std::vector<unsigned char>* pixels);

// One picture drawn over black and over white as one with alpha: a pixel's
// alpha is how much the white showed through, its colour what it was over
// black unmixed.
std::vector<unsigned char> Unmix(const std::vector<unsigned char>& black,
                                 const std::vector<unsigned char>& white);

// The size a picture is scaled down to so that it fits `size` x `size`;
// as it is with `size` 0 or not below its larger side.
std::pair<int, int> ShrunkSize(int width, int height, int size);
// The pixels (`channels` a pixel) scaled down to ShrunkSize, each pixel
// the average of those it covers.
std::vector<unsigned char> Shrink(const std::vector<unsigned char>& pixels, int width, int height,
                                  int channels, int size);

}  // namespace VorelTools
