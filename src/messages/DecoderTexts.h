#pragma once
// Texts about checking an encoded output and encoding it again from audio
// decoded by another program, in English and French. Kept apart from the
// message table, whose numbered entries are all taken.

#include <QString>

enum class TDecoderText {
    OutputShort,   // %1 seconds in the output, %2 seconds in the source
    EncodingAgain, // %1 source path, %2 why, %3 decoder name
};

// The text in the language of that index of the language table (0 English,
// 1 French); any other index gives English.
QString DecoderText(TDecoderText id, int language);
