#pragma once
// The fixed sample values of the built-in types and the number handling of the value maker.
#include <QHash>
#include <QPair>
#include <QString>

#include <optional>

namespace owb::xsd::sampletables {

const QHash<QString, QString> &samples();
// Bounds the integer types carry of themselves.
const QHash<QString, QPair<long double, long double>> &integerRanges();
bool isNumeric(const QString &builtin);
std::optional<long double> number(const QString &text);
// Digits of a decimal's canonical form: all, and those behind the point.
QPair<int, int> digits(const QString &value);
QString formatNumber(long double v, bool integral, int fractionDigits);

} // namespace owb::xsd::sampletables
