#include "RegFile.h"
#include "messages/Messages.h"

#include "messages/Reporting.h"

#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <QtGlobal>

TRegFile::TRegFile(const QString& name, const QString& societyKey, const QString& programKey,
                   TReporter* reporter)
    : FName(name), FSocietyKey(societyKey), FProgramKey(programKey) {
    Open(reporter);
}

TRegFile::TRegFile(const QString& filePath)
    : FName(QStringLiteral("RegFile")), FSocietyKey(QStringLiteral("Morvane")),
      FProgramKey(QStringLiteral("Sonabel")), FFilePath(filePath) {
    Open(nullptr);
}

TRegFile::~TRegFile() = default;

QString TRegFile::ProgrammingErrorText(const QString& name) {
    return MsgFmt(msgRegKeysUndefined, {name});
}

void TRegFile::Open(TReporter* reporter) {
    FActive = false;
    FStore.reset();
    if (FSocietyKey.isEmpty() || FProgramKey.isEmpty()) {
        if (reporter)
            reporter->ShowInfo(ProgrammingErrorText(FName));
        else
            qWarning("%s", qUtf8Printable(ProgrammingErrorText(FName)));
        return;
    }
    if (FFilePath.isEmpty())
        FStore = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             FSocietyKey, FProgramKey);
    else
        FStore = std::make_unique<QSettings>(FFilePath, QSettings::IniFormat);
    FActive = FStore != nullptr;
}

QString TRegFile::Key(const QString& section, const QString& ident) const {
    return section.isEmpty() ? ident : section + QLatin1Char('/') + ident;
}

QString TRegFile::ReadString(const QString& section, const QString& ident,
                             const QString& def) const {
    if (!FActive)
        return def;
    const QVariant v = FStore->value(Key(section, ident));
    // Only strings are ours; anything else (a number, a list) was put there by hand.
    if (v.typeId() != QMetaType::QString)
        return def;
    return v.toString();
}

void TRegFile::WriteString(const QString& section, const QString& ident, const QString& value) {
    if (!FActive)
        return;
    FStore->setValue(Key(section, ident), value);
}

qint32 TRegFile::ReadInteger(const QString& section, const QString& ident, qint32 def) const {
    const QString text = ReadString(section, ident, QString());
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    return ok ? value : def;
}

void TRegFile::WriteInteger(const QString& section, const QString& ident, qint32 value) {
    WriteString(section, ident, QString::number(value));
}

bool TRegFile::SectionExists(const QString& section) const {
    return FActive && FStore->childGroups().contains(section);
}

void TRegFile::EraseSection(const QString& section) {
    if (FActive && !section.isEmpty())
        FStore->remove(section);
}

void TRegFile::CopySection(const QString& from, const QString& to) {
    if (!FActive || from.isEmpty() || to.isEmpty())
        return;
    FStore->beginGroup(from);
    const QStringList names = FStore->childKeys();
    QList<QVariant> values;
    for (const QString& n : names)
        values.append(FStore->value(n));
    FStore->endGroup();
    for (qsizetype i = 0; i < names.size(); ++i)
        FStore->setValue(Key(to, names[i]), values[i]);
}

void TRegFile::LoadPlacement(const QString& formName, TPlacement& placement, bool withSize) const {
    if (withSize) {
        placement.State = ReadInteger(formName, QStringLiteral("State"), wsNormal);
        // Never come back minimised; a state we do not know is a normal window.
        if (placement.State != wsMaximized)
            placement.State = wsNormal;
        if (placement.State == wsNormal) {
            placement.Width = ReadInteger(formName, QStringLiteral("Width"), placement.Width);
            placement.Height = ReadInteger(formName, QStringLiteral("Height"), placement.Height);
        }
    }
    // A maximised window keeps its designed geometry underneath.
    if (placement.State == wsNormal) {
        placement.Top = ReadInteger(formName, QStringLiteral("Top"), placement.Top);
        placement.Left = ReadInteger(formName, QStringLiteral("Left"), placement.Left);
    }
}

void TRegFile::SavePlacement(const QString& formName, const TPlacement& placement, bool withSize) {
    WriteInteger(formName, QStringLiteral("Top"), placement.Top);
    WriteInteger(formName, QStringLiteral("Left"), placement.Left);
    if (withSize) {
        WriteInteger(formName, QStringLiteral("Width"), placement.Width);
        WriteInteger(formName, QStringLiteral("Height"), placement.Height);
        WriteInteger(formName, QStringLiteral("State"), placement.State);
    }
}

// QSettings replaces its file atomically, so a failed write leaves the old one.
bool TRegFile::Flush() {
    if (!FActive)
        return false;
    FStore->sync();
    return FStore->status() == QSettings::NoError;
}

QString GetShellFolder(const QString& valueName) {
    QStandardPaths::StandardLocation location;
    if (valueName == QLatin1String("My Music"))
        location = QStandardPaths::MusicLocation;
    else if (valueName == QLatin1String("Personal"))
        location = QStandardPaths::DocumentsLocation;
    else
        return QString();
    return QStandardPaths::writableLocation(location);
}
