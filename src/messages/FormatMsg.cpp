#include "messages/FormatMsg.h"

namespace {

struct TConversion {
    bool LeftJustify = false;
    bool ZeroPad = false;
    int Width = 0;
    int Precision = -1; // none
    QChar Letter;       // 's' or 'd'
};

// Reads a conversion starting just after a '%'. Returns the number of
// characters consumed (letter included), or 0 when it is not one we know.
qsizetype ParseConversion(const QString& fmt, qsizetype pos, TConversion& conv) {
    qsizetype i = pos;
    const qsizetype n = fmt.size();
    for (; i < n; ++i) {
        if (fmt[i] == u'-')
            conv.LeftJustify = true;
        else if (fmt[i] == u'0')
            conv.ZeroPad = true;
        else
            break;
    }
    // Widths beyond this are typing errors, not layouts.
    constexpr int MaxWidth = 999;
    while (i < n && fmt[i].isDigit() && conv.Width <= MaxWidth)
        conv.Width = conv.Width * 10 + fmt[i++].digitValue();
    if (i < n && fmt[i] == u'.') {
        ++i;
        conv.Precision = 0;
        while (i < n && fmt[i].isDigit() && conv.Precision <= MaxWidth)
            conv.Precision = conv.Precision * 10 + fmt[i++].digitValue();
    }
    if (i >= n || conv.Width > MaxWidth || conv.Precision > MaxWidth)
        return 0;
    const QChar letter = fmt[i].toLower();
    if (letter != u's' && letter != u'd')
        return 0;
    conv.Letter = letter;
    return i - pos + 1;
}

QString Pad(const QString& body, const TConversion& conv, QChar fill, qsizetype insertAt) {
    if (body.size() >= conv.Width)
        return body;
    if (conv.LeftJustify)
        return body + QString(conv.Width - body.size(), u' ');
    QString out = body;
    out.insert(insertAt, QString(conv.Width - body.size(), fill));
    return out;
}

QString FormatInteger(const QVariant& arg, const TConversion& conv) {
    bool ok = false;
    const qlonglong value = arg.toLongLong(&ok);
    if (!ok) // not a number: show what was given rather than a made-up 0
        return Pad(arg.toString(), conv, u' ', 0);
    QString digits = QString::number(value < 0 ? -(value + 1) + 1ULL : qulonglong(value));
    if (conv.Precision > digits.size())
        digits.prepend(QString(conv.Precision - digits.size(), u'0'));
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const bool zeroFill = conv.ZeroPad && !conv.LeftJustify && conv.Precision < 0;
    return Pad(sign + digits, conv, zeroFill ? u'0' : u' ', zeroFill ? sign.size() : 0);
}

QString FormatText(const QVariant& arg, const TConversion& conv) {
    QString text = arg.toString();
    if (conv.Precision >= 0 && text.size() > conv.Precision)
        text.truncate(conv.Precision);
    return Pad(text, conv, u' ', 0);
}

QString Format(const QString& fmt, const QVariant* next, const QVariant* end) {
    QString out;
    out.reserve(fmt.size() + 16 * (end - next));
    const qsizetype n = fmt.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (fmt[i] != u'%' || i + 1 >= n) {
            out += fmt[i];
            continue;
        }
        if (fmt[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        TConversion conv;
        const qsizetype used = ParseConversion(fmt, i + 1, conv);
        if (used == 0) {
            out += fmt[i];
            continue;
        }
        // A missing argument is an empty substitution, padded like any text.
        const QVariant arg = next != end ? *next++ : QVariant(QString());
        out += conv.Letter == u'd' ? FormatInteger(arg, conv) : FormatText(arg, conv);
        i += used;
    }
    return out;
}

} // namespace

QString FormatMsg(const QString& fmt, std::initializer_list<QVariant> args) {
    return Format(fmt, args.begin(), args.end());
}

QString FormatMsgArgs(const QString& fmt, const QVariantList& args) {
    return Format(fmt, args.constData(), args.constData() + args.size());
}

QString FormatPlaceholders(const QString& fmt) {
    QString letters;
    const qsizetype n = fmt.size();
    for (qsizetype i = 0; i + 1 < n; ++i) {
        if (fmt[i] != u'%')
            continue;
        if (fmt[i + 1] == u'%') {
            ++i;
            continue;
        }
        TConversion conv;
        const qsizetype used = ParseConversion(fmt, i + 1, conv);
        if (used > 0) {
            letters += conv.Letter;
            i += used;
        }
    }
    return letters;
}
