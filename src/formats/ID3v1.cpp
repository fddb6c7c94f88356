#include "ID3v1.h"

namespace {

// Bytes missing from a short buffer read as zero.
quint8 ByteAt(const QByteArray& tag, int offset) {
    return offset >= 0 && offset < tag.size() ? quint8(tag[offset]) : 0;
}

} // namespace

QString TagV1Text(const QByteArray& tag, int offset, int length) {
    QString text;
    for (int i = 0; i < length; ++i) {
        const quint8 b = ByteAt(tag, offset + i);
        if (b == 0)
            break;
        text += QChar(b);
    }
    return text;
}

int TagV1Track(const QByteArray& tag) {
    if (ByteAt(tag, TagV1Layout::TrackMarker) != 0)
        return 0;
    return ByteAt(tag, TagV1Layout::Track);
}

int TagV1Genre(const QByteArray& tag) {
    return ByteAt(tag, TagV1Layout::Genre);
}

TTagV1Fields ReadTagV1Fields(const QByteArray& tag) {
    using namespace TagV1Layout;
    TTagV1Fields f;
    f.Title = TagV1Text(tag, Title, TitleLength);
    f.Artist = TagV1Text(tag, Artist, ArtistLength);
    f.Album = TagV1Text(tag, Album, AlbumLength);
    f.Year = TagV1Text(tag, Year, YearLength);
    f.Comment = TagV1Text(tag, Comment, CommentLength);
    f.Track = TagV1Track(tag);
    f.Genre = TagV1Genre(tag);
    return f;
}
