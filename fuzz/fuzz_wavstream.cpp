// TWAVReadStream over arbitrary bytes, as given and with the RIFF size field
// made to match the length, so the chunk walk is reached by most inputs.

#include "FuzzUtil.h"

#include "formats/WavStream.h"

#include <QtEndian>

using FuzzUtil::Fail;

namespace {

void Check(const QByteArray& bytes) {
    const QString path = FuzzUtil::WriteScratch("input.wav", bytes);
    try {
        TWAVReadStream reader(path, fmOpenRead);
        const TWAVInfo& info = reader.Info;
        if (info.FileSize != bytes.size())
            Fail("file size differs");
        if (info.DataSize != 0 && qint64(info.DataStart) + info.DataSize > bytes.size())
            Fail("audio data past the end of the file");
    } catch (const ESonabelError&) {
    }
    const TWAVInfo info = GetWAVInfo(path);
    if (info.DataSize == 0 && !(info == TWAVInfo()))
        Fail("no audio data but a non-empty result");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(bytes);
    if (bytes.size() >= 12 && bytes.startsWith("RIFF")) {
        qToLittleEndian<quint32>(quint32(bytes.size() - 8), bytes.data() + 4);
        Check(bytes);
    }
    return 0;
}
