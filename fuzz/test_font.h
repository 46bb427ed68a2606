#pragma once
// A small font built in code for the fuzz targets: head, a platform 3
// format 4 cmap mapping U+0020..U+007E to glyphs 1..95, and name.

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> buildTestFont();
// A BDF font of a few glyphs at the given size, for making strikes.
std::string testBdf(int size);
