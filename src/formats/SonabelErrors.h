#pragma once
// Exceptions raised by the file readers. They carry what went wrong
// and its values, not a sentence: the text is looked up in the current
// language where the error is shown (ErrorText).

#include <QVariantList>
#include <stdexcept>

enum class TErrorId : int {
    FileOpen, // full path
    Read,
    Write,
    NotAnInteger, // text
    Rename,       // target path, system error text
    System,       // path, system error text
    BadArgument,  // routine name, the condition its caller broke
};
inline constexpr int ErrorIdCount = int(TErrorId::BadArgument) + 1;

class ESonabelError : public std::runtime_error {
public:
    explicit ESonabelError(TErrorId id, QVariantList args = {})
        : std::runtime_error("ESonabelError"), Id(id), Args(std::move(args)) {}
    TErrorId Id;
    QVariantList Args;
};

class EFOpenError : public ESonabelError {
public:
    // The file's full path is the value shown.
    explicit EFOpenError(const QString& fileName);
};

class EReadError : public ESonabelError {
public:
    EReadError() : ESonabelError(TErrorId::Read) {}
};

// A caller broke a routine's contract (a programming error, shown all the same).
class EArgumentError : public ESonabelError {
public:
    EArgumentError(const char* routine, const char* condition)
        : ESonabelError(TErrorId::BadArgument,
                        {QString::fromLatin1(routine), QString::fromLatin1(condition)}) {}
};

class EWriteError : public ESonabelError {
public:
    EWriteError() : ESonabelError(TErrorId::Write) {}
    using ESonabelError::ESonabelError;
};
