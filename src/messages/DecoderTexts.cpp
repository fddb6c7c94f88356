#include "messages/DecoderTexts.h"

#include <array>

namespace {

constexpr int FrenchIndex = 1;

struct TDecoderTextRow {
    TDecoderText Id;
    const char16_t* English;
    const char16_t* French;
};

constexpr std::array<TDecoderTextRow, 2> Rows = {{
    {TDecoderText::OutputShort, u"output holds %1 s of %2 s",
     u"la sortie contient %1\u00A0s sur %2\u00A0s"},
    {TDecoderText::EncodingAgain, u"%1: %2; encoding again from audio decoded by %3",
     u"%1\u00A0: %2\u00A0; nouvel encodage depuis l\u2019audio d\u00E9cod\u00E9 par %3"},
}};

} // namespace

QString DecoderText(TDecoderText id, int language) {
    for (const TDecoderTextRow& row : Rows)
        if (row.Id == id)
            return QString::fromUtf16(language == FrenchIndex ? row.French : row.English);
    return QString();
}
