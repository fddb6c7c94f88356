#pragma once
// Exceptions raised by the file readers and lists. The texts are the French
// runtime texts the stored formats and logs have always shown.

#include <QString>
#include <stdexcept>

class ESonabelError : public std::runtime_error {
public:
    explicit ESonabelError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    QString Message;
};

class EFOpenError : public ESonabelError {
public:
    using ESonabelError::ESonabelError;
};

class EReadError : public ESonabelError {
public:
    using ESonabelError::ESonabelError;
};

class EWriteError : public ESonabelError {
public:
    using ESonabelError::ESonabelError;
};

class EListError : public ESonabelError {
public:
    using ESonabelError::ESonabelError;
};

// "Impossible d'ouvrir le fichier %s" filled with the expanded full path.
QString FileOpenErrorText(const QString& fileName);
inline const char* const ReadErrorText = "Erreur de lecture du flux";
inline const char* const WriteErrorText = "Erreur d'écriture dans le flux";
