#pragma once
// The one place where message-table formats are filled.
//
// Understands printf-style conversions: %s (text), %d (decimal integer) and
// %% (a percent sign), with an optional '-' (left-justify), '0' (zero padding),
// width and precision, e.g. "%.2d" for two-digit minutes. Arguments are taken
// in order; a missing argument gives an empty substitution, so a table entry
// with more placeholders than its use point supplies never crashes. Anything
// after a '%' that is not a known conversion is copied unchanged.

#include <QString>
#include <QVariant>
#include <initializer_list>

QString FormatMsg(const QString& fmt, std::initializer_list<QVariant> args = {});
// The same with arguments gathered at run time.
QString FormatMsgArgs(const QString& fmt, const QVariantList& args);

// The conversion letters of a format in order ("sd" for "%s is %d%%"); '%%'
// is not counted. Both languages must agree on this for every entry.
QString FormatPlaceholders(const QString& fmt);
