#include "DefaultIgnorable.h"

#include <algorithm>
#include <iterator>

namespace {

struct Range
{
    char32_t first;
    char32_t last;
};

// Unicode 15.0, DerivedCoreProperties.txt, Default_Ignorable_Code_Point; ascending. Qt offers no query for it.
constexpr Range kDefaultIgnorable[] = {
    {0x00AD, 0x00AD},   // soft hyphen
    {0x034F, 0x034F},   // combining grapheme joiner
    {0x061C, 0x061C},   // Arabic letter mark
    {0x115F, 0x1160},   // Hangul fillers
    {0x17B4, 0x17B5},   // Khmer inherent vowels
    {0x180B, 0x180F},   // Mongolian free variation selectors and vowel separator
    {0x200B, 0x200F},   // zero-width space, joiners, direction marks
    {0x202A, 0x202E},   // direction embeddings and overrides
    {0x2060, 0x206F},   // word joiner, invisible operators, isolates, deprecated formats
    {0x3164, 0x3164},   // Hangul filler
    {0xFE00, 0xFE0F},   // variation selectors
    {0xFEFF, 0xFEFF},   // zero-width no-break space
    {0xFFA0, 0xFFA0},   // halfwidth Hangul filler
    {0xFFF0, 0xFFF8},   // unassigned specials
    {0x1BCA0, 0x1BCA3}, // shorthand format controls
    {0x1D173, 0x1D17A}, // musical formatting
    {0xE0000, 0xE0FFF}, // tags and variation selectors supplement
};

} // namespace

bool isDefaultIgnorable(char32_t code)
{
    const auto after = std::upper_bound(std::begin(kDefaultIgnorable), std::end(kDefaultIgnorable), code,
                                        [](char32_t value, const Range& range) { return value < range.first; });
    return after != std::begin(kDefaultIgnorable) && code <= std::prev(after)->last;
}
