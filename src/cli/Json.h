#pragma once
// Small JSON text builder that keeps keys in insertion order, so the command
// line output reads in the order of the records it shows.

#include <QString>
#include <QStringList>

class TJsonObject {
public:
    TJsonObject& Add(const QString& key, const QString& value);
    TJsonObject& Add(const QString& key, const char* value) {
        return Add(key, QString::fromUtf8(value));
    }
    TJsonObject& Add(const QString& key, qint64 value);
    TJsonObject& Add(const QString& key, int value) { return Add(key, qint64(value)); }
    TJsonObject& Add(const QString& key, bool value);
    TJsonObject& Add(const QString& key, double value);
    TJsonObject& AddNull(const QString& key);
    TJsonObject& Add(const QString& key, const TJsonObject& value);
    TJsonObject& Add(const QString& key, const QStringList& values);
    TJsonObject& AddRaw(const QString& key, const QString& json);
    QString ToString() const;

private:
    QStringList Members;
};

QString JsonQuote(const QString& text);
