#pragma once
// The encoding options shared by plan and run: what is encoded how and where.

#include <QString>
#include <QStringList>
#include <optional>

struct TEncodingOptions {
    QString Encoder;
    std::optional<int> BitRate, Mode, Quality, Priority;
    std::optional<QString> Dest, Params;
    bool KeepSubDirs = false;
};

// Failed: --settings could not be read (already said on stderr).
enum class TOptionTake { Taken, NotOurs, Error, Failed };

// Takes args[i] (and its value, advancing i) when it is an encoding option;
// on Error, error holds the usage message. --settings is loaded at once.
TOptionTake TakeEncodingOption(const QStringList& args, qsizetype& i, TEncodingOptions& options,
                               QString& error);
// Writes the overrides into the settings record (in memory only) and sets
// the target bit rate; BitRateIndex follows, so a list refresh keeps it.
void ApplyEncodingOptions(const TEncodingOptions& options);
