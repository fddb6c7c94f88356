#pragma once
// The ID3v1 genre names, indexed by the tag's genre byte; every byte value has
// an entry ("?" past the last named genre).

#include <QString>
#include <array>

inline constexpr int ID3GenreCount = 256;
inline constexpr int ID3NamedGenreCount = 148;

extern const std::array<const char*, ID3GenreCount> ID3Genres;

// "%d : %s": the genre byte, then its name.
QString GenreCaption(int genre);
