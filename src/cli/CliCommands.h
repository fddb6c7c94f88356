#pragma once
// The sub-commands of sonabel-cli. Each takes the arguments after its name and
// returns the process exit code (0 done, 1 something failed, 2 usage error).

#include <QStringList>

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

int RunInfoCommand(const QStringList& args);
// sonabel-cli encoder [--settings FILE] [--encoder PATH]
int RunEncoderCommand(const QStringList& args);
// sonabel-cli plan [options] [--recursive] PATH...: the planned output and command line per
// source; a folder gives its own files, with --recursive those below it too.
int RunPlanCommand(const QStringList& args);
// sonabel-cli run [options] PATH...: the batch run on the terminal.
int RunRunCommand(const QStringList& args);

// --settings FILE: the settings of this run come from FILE, which is never
// written. False (after saying why on stderr) when it cannot be read.
bool LoadCliSettings(const QString& file);
// The encoder this run uses: the --encoder value, else the stored LamePath when
// it exists, else the lookup (program folder, then PATH). Empty when none.
QString ResolveEncoderPath(const QString& option);
// Why ResolveEncoderPath found nothing for that option.
QString EncoderNotFoundText(const QString& option);

// Writes a line to stdout / stderr (UTF-8), flushed.
void PrintOut(const QString& line);
void PrintErr(const QString& line);
// "sonabel-cli: <message>" on stderr, returns ExitUsage.
int UsageError(const QString& message);
