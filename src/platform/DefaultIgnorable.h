#pragma once

// Whether a code point is one that text is drawn without unless it is supported (Unicode's
// Default_Ignorable_Code_Point): format characters, variation selectors, fillers, tags. Drawn as nothing, it makes
// a name look like the name without it.
bool isDefaultIgnorable(char32_t code);
