#pragma once
// Command-line parsing shared by the sub-commands, and the encoding options
// shared by plan and run: what is encoded how and where.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

struct TEncodingOptions {
    QString Encoder;
    std::optional<int> BitRate, Mode, Quality, Priority;
    std::optional<QString> Dest, Params;
    bool KeepSubDirs = false;
    std::optional<bool> SkipDone;
    bool Replace = false; // for this call only
};

// Failed: --settings could not be read (already said on stderr).
enum class TOptionRead { Ok, Error, Failed };

// Adds --help and --version, parses the arguments after the command's name
// and answers --help / --version itself. Returns -1 when the command goes on,
// otherwise the exit code (help or version printed, usage error reported).
// syntax is the part of the usage line after the options, e.g. "PATH...".
int ParseCommandLine(QCommandLineParser& parser, const QString& command, const QString& syntax,
                     const QStringList& args);

// The options shared by encoder, plan and run: --settings and --encoder.
void AddSettingsOptions(QCommandLineParser& parser);
// The encoding options of plan and run (with the two above).
void AddEncodingOptions(QCommandLineParser& parser);
// Checks every value given (on Error, error holds the usage message), then
// loads the --settings files in argument order, so that every other option
// overrides them.
TOptionRead ReadEncodingOptions(const QCommandLineParser& parser, TEncodingOptions& options,
                                QString& error);
// Writes the overrides into the settings record (in memory only) and sets
// the target bit rate; BitRateIndex follows, so a list refresh keeps it.
void ApplyEncodingOptions(const TEncodingOptions& options);
