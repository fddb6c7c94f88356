#pragma once
// What a source file is, judged by its name's extension (case ignored).

#include <QString>

enum TSourceType : int {
    SourceMP1 = 0,
    SourceMP2 = 1,
    SourceMP3 = 2,
    SourceWAV = 3,
    SourceUnusable = 4, // any other name, or a file the analysis refused
};
inline constexpr int SourceTypeCount = 5;

// The type the extension names: MP1, MP2, MP3, WAV, or unusable.
TSourceType SourceTypeOfExtension(const QString& path);

// MP1, MP2 and MP3 sources are MPEG files and carry the same tags.
inline bool IsMpegSource(TSourceType type) {
    return type >= SourceMP1 && type <= SourceMP3;
}
