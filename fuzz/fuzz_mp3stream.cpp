// TMP3ReadStream over arbitrary bytes, without and with both reader options.

#include "FuzzUtil.h"

#include "formats/ID3Genres.h"
#include "formats/ID3v1.h"
#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"

#include <QStringList>

using FuzzUtil::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = FuzzUtil::WriteScratch("input.mp3", data, size);
    for (quint8 options : {quint8(0), quint8(roTagV1 | roFrameIndex)}) {
        try {
            TMP3ReadStream reader(path, fmOpenRead, options);
            const TMP3Info& info = reader.Info;
            if (info.BitRate <= 0 || info.FrameCount <= 0 || info.SampleRate <= 0)
                Fail("accepted stream without bit rate, frames or sampling rate");
            if (info.AudioSize != info.AudioEnd - info.AudioStart ||
                info.AudioStart != info.TagV2Size || info.FileSize != qint32(size))
                Fail("inconsistent offsets");
            if (reader.Position() != info.AudioStart)
                Fail("reader not left at AudioStart");
            if (options & roTagV1) {
                const TTagV1Fields fields = ReadTagV1Fields(reader.TagV1Data);
                if (fields.Title.size() > 30 || fields.Comment.size() > 30 || fields.Track > 255)
                    Fail("ID3v1 field too long");
                (void)GenreCaption(fields.Genre);
            }
            if (!(options & roFrameIndex) && !reader.FrameIndex.isEmpty())
                Fail("index built without being asked");
            // Every listed frame's data starts inside the tag.
            const QStringList lines =
                reader.FrameIndex.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            for (const QString& line : lines) {
                try {
                    const TFrameEntry e = ParseFrameEntry(line);
                    if (e.Offset < 0 || e.Offset > info.TagV2Size || e.Size < 0)
                        Fail("frame entry outside the tag");
                } catch (const EConvertError&) {
                }
            }
        } catch (const ESonabelError&) {
        }
    }
    TMP3Info info;
    QByteArray tagV1;
    QString index;
    GetMP3Info(path, roTagV1 | roFrameIndex, info, &tagV1, &index);
    if (tagV1.size() != TagV1Length)
        Fail("TagV1Data is not 128 bytes");
    if (info.BitRate == 0 && (!(info == TMP3Info()) || !index.isEmpty()))
        Fail("failed analysis left data behind");
    return 0;
}
