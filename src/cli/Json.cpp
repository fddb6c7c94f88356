#include "Json.h"

#include <QJsonDocument>
#include <QJsonValue>

QString JsonQuote(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

TJsonObject& TJsonObject::AddRaw(const QString& key, const QString& json) {
    Members.append(JsonQuote(key) + QLatin1Char(':') + json);
    return *this;
}

TJsonObject& TJsonObject::Add(const QString& key, const QString& value) {
    return AddRaw(key, JsonQuote(value));
}

TJsonObject& TJsonObject::Add(const QString& key, qint64 value) {
    return AddRaw(key, QString::number(value));
}

TJsonObject& TJsonObject::Add(const QString& key, bool value) {
    return AddRaw(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

TJsonObject& TJsonObject::Add(const QString& key, double value) {
    return AddRaw(key, QString::number(value, 'g', 15));
}

TJsonObject& TJsonObject::AddNull(const QString& key) {
    return AddRaw(key, QStringLiteral("null"));
}

TJsonObject& TJsonObject::Add(const QString& key, const TJsonObject& value) {
    return AddRaw(key, value.ToString());
}

TJsonObject& TJsonObject::Add(const QString& key, const QStringList& values) {
    QStringList quoted;
    for (const QString& v : values)
        quoted.append(JsonQuote(v));
    return AddRaw(key, QLatin1Char('[') + quoted.join(QLatin1Char(',')) + QLatin1Char(']'));
}

QString TJsonObject::ToString() const {
    return QLatin1Char('{') + Members.join(QLatin1Char(',')) + QLatin1Char('}');
}
