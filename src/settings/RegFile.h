#pragma once
// The per-user settings store: one key for the program, one sub-key (group) per
// window for its placement. Every value is a string; integers are decimal text.

#include <QString>
#include <memory>

class QSettings;
class TReporter;

enum TWindowState : int { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// A window's placement as stored; the window applies it itself.
struct TPlacement {
    int State = wsNormal;
    int Width = 0;
    int Height = 0;
    int Top = 0;
    int Left = 0;
};

class TRegFile {
public:
    // The program's own store: the native per-user settings of SocietyKey/ProgramKey
    // (the registry on Windows, ~/.config/<SocietyKey>/<ProgramKey>.conf elsewhere).
    // Empty keys leave the store inactive and tell the reporter why.
    TRegFile(const QString& name, const QString& societyKey, const QString& programKey,
             TReporter* reporter);
    // A store held in one INI file, for tests and sonabel-cli --settings FILE.
    explicit TRegFile(const QString& filePath);
    virtual ~TRegFile();

    TRegFile(const TRegFile&) = delete;
    TRegFile& operator=(const TRegFile&) = delete;

    const QString& Name() const { return FName; }
    const QString& SocietyKey() const { return FSocietyKey; }
    const QString& ProgramKey() const { return FProgramKey; }
    bool Active() const { return FActive; }

    // An empty section means the program key itself. Values that are missing or
    // not strings read as Default.
    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    virtual void WriteString(const QString& section, const QString& ident, const QString& value);
    qint32 ReadInteger(const QString& section, const QString& ident, qint32 def) const;
    void WriteInteger(const QString& section, const QString& ident, qint32 value);

    bool SectionExists(const QString& section) const;
    void EraseSection(const QString& section);
    // Copies every value of one sub-key into another, creating it.
    void CopySection(const QString& from, const QString& to);

    // Reads into `placement`, whose current values serve as defaults.
    void LoadPlacement(const QString& formName, TPlacement& placement, bool withSize) const;
    void SavePlacement(const QString& formName, const TPlacement& placement, bool withSize);

    // Pushes pending writes to the backing store; false when it could not be written.
    bool Flush();

    static QString ProgrammingErrorText(const QString& name);

private:
    void Open(TReporter* reporter);
    QString Key(const QString& section, const QString& ident) const;

    QString FName;
    QString FSocietyKey;
    QString FProgramKey;
    QString FFilePath; // empty for the native store
    std::unique_ptr<QSettings> FStore;
    bool FActive = false;
};

// Per-user shell folders: "My Music" and "Personal"; empty when unknown.
QString GetShellFolder(const QString& valueName);
