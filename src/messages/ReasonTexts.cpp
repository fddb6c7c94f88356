#include "messages/ReasonTexts.h"

#include "messages/FormatMsg.h"
#include "messages/Sonabel_L.h"

#include <array>

namespace {

struct TOwnTexts {
    std::array<const char16_t*, ReasonCount> Reasons;
    const char16_t* Detail;  // %s reason, %s detail
    const char16_t* Skipped; // %s path, %s reason
    const char16_t* Again;   // %s path, %s reason, %s decoder
    const char16_t* Summary; // %d encoded, copied, skipped, failed; %d:%.2d:%.2d elapsed
};

// In the order of TReason; the French ones with a no-break space before ':'.
constexpr std::array<TOwnTexts, LanguageCount> Tables = {{
    {{u"unsupported or damaged file", u"file is empty", u"not PCM", u"not a regular file",
      u"permission denied", u"file vanished", u"file not found", u"file name is not valid UTF-8",
      u"output folder not writable", u"bit rate below the target", u"encoder could not be started",
      u"encoder crashed", u"encoder exit code %d", u"encoder wrote no output", u"cannot create %s",
      u"cannot copy the audio data", u"cannot carry the tags over", u"file error",
      u"output holds %s s of %s s"},
     u"%s: %s",
     u"Skipped %s: %s",
     u"%s: %s; encoding again from audio decoded by %s",
     u"Encoded %d, copied %d, skipped %d, failed %d in %d:%.2d:%.2d."},
    {{u"fichier non pris en charge ou endommagé", u"fichier vide", u"pas au format PCM",
      u"pas un fichier ordinaire", u"accès refusé", u"fichier disparu", u"fichier introuvable",
      u"nom de fichier en UTF-8 non valide", u"dossier de sortie non accessible en écriture",
      u"débit inférieur à la cible", u"impossible de lancer l’encodeur",
      u"arrêt brutal de l’encodeur", u"code de sortie de l’encodeur %d",
      u"l’encodeur n’a rien écrit", u"impossible de créer %s",
      u"impossible de copier les données audio", u"impossible de reporter les étiquettes",
      u"erreur de fichier", u"la sortie contient %s\u00A0s sur %s\u00A0s"},
     u"%s\u00A0: %s",
     u"Ignoré %s\u00A0: %s",
     u"%s\u00A0: %s\u00A0; nouvel encodage depuis l’audio décodé par %s",
     u"Encodés %d, copiés %d, ignorés %d, en échec %d en %d:%.2d:%.2d."},
}};

const TOwnTexts& Current() {
    const int index = CurrentLanguageIndex();
    return Tables[index >= 0 && index < LanguageCount ? index : 0];
}

QString Text(const char16_t* text) {
    return QString::fromUtf16(text);
}

} // namespace

QString ReasonText(TReason id, std::initializer_list<QVariant> args) {
    const int i = int(id);
    if (i < 0 || i >= ReasonCount)
        return QString();
    return FormatMsg(Text(Current().Reasons[i]), args);
}

QString ReasonWithDetail(TReason id, const QString& detail, std::initializer_list<QVariant> args) {
    if (detail.isEmpty())
        return ReasonText(id, args);
    return FormatMsg(Text(Current().Detail), {ReasonText(id, args), detail});
}

QString SkippedLine(const QString& path, const QString& reason) {
    return FormatMsg(Text(Current().Skipped), {path, reason});
}

QString EncodingAgainLine(const QString& path, const QString& reason, const QString& decoder) {
    return FormatMsg(Text(Current().Again), {path, reason, decoder});
}

QString RunSummaryLine(int encoded, int copied, int skipped, int failed, qint64 seconds) {
    return FormatMsg(Text(Current().Summary), {encoded, copied, skipped, failed, seconds / 3600,
                                               seconds / 60 % 60, seconds % 60});
}
