#pragma once
// Carrying the ID3 tags of a source MPEG file over to a newly written one, and
// removing a leading ID3v2 tag from a freshly encoded file.

#include <QString>

// Appends the source's ID3v1 tag (KeepV1) and inserts its ID3v2 tag (KeepV2),
// whole or up to its last frame before padding (Compact), where the destination
// has no tag of that kind (whole when a frame identifier spoils the index).
// Throws EFOpenError when either file is no usable MPEG stream, and the stream
// errors of the block routines.
void TransferTags(const QString& source, const QString& dest, bool keepV1, bool keepV2,
                  bool compact);

// Removes the ID3v2 tag at the start of the file (header, body and footer) by
// moving the rest down and truncating. Returns the number of bytes removed: 0
// when the file has no such tag or the tag claims more bytes than the file has.
qint64 StripLeadingTagV2(const QString& path);
