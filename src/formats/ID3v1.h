#pragma once
// Fields of a raw 128-byte ID3v1 tag (TagV1Data). Text fields are single-byte
// text, returned one character per byte (Latin-1), never trimmed.

#include <QByteArray>
#include <QString>

// Tag layout: offset and length of each field from the start of the tag.
namespace TagV1Layout {
inline constexpr int Identifier = 0; // "TAG", 3 bytes
inline constexpr int Title = 3, TitleLength = 30;
inline constexpr int Artist = 33, ArtistLength = 30;
inline constexpr int Album = 63, AlbumLength = 30;
inline constexpr int Year = 93, YearLength = 4;
inline constexpr int Comment = 97, CommentLength = 30;
inline constexpr int TrackMarker = 125; // 0 when a track number follows
inline constexpr int Track = 126;
inline constexpr int Genre = 127;
} // namespace TagV1Layout

struct TTagV1Fields {
    QString Title;
    QString Artist;
    QString Album;
    QString Year;
    QString Comment;
    int Track = 0; // 0 when the tag carries none
    int Genre = 0; // index into ID3Genres
};

// The bytes of a field up to its first zero byte, or all of them without one.
QString TagV1Text(const QByteArray& tag, int offset, int length);
// The track number, or 0 unless the marker byte is 0 and the track byte is not.
int TagV1Track(const QByteArray& tag);
int TagV1Genre(const QByteArray& tag);
TTagV1Fields ReadTagV1Fields(const QByteArray& tag);
