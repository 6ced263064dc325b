// glyph_words.h - the words the letter tiles spell: the intro "morvinal
// sulty pakh" with glyph set A, the finale "amiga rulez 1994" with set B,
// each letter in reading order without the spaces. The show loads one
// picture per position; the asset generator draws one card per letter.
#pragma once

inline constexpr char kGlyphSetALetters[] = "morvinalsultypakh";
inline constexpr char kGlyphSetBLetters[] = "amigarulez1994";
inline constexpr int kGlyphSetASize = sizeof(kGlyphSetALetters) - 1;
inline constexpr int kGlyphSetBSize = sizeof(kGlyphSetBLetters) - 1;
