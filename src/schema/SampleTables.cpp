#include "schema/SampleTables.h"

#include "xml/Namespaces.h"

#include <cmath>

namespace owb::xsd::sampletables {

const QHash<QString, QString> &samples()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("string"), QStringLiteral("test")},
        {QStringLiteral("boolean"), QStringLiteral("false")},
        {QStringLiteral("decimal"), QStringLiteral("126.45")},
        {QStringLiteral("double"), QStringLiteral("12.78e-2")},
        {QStringLiteral("float"), QStringLiteral("12.78e-2")},
        {QStringLiteral("time"), QStringLiteral("12:00:00")},
        {QStringLiteral("date"), QStringLiteral("2002-01-01")},
        // The "T" makes it a dateTime at all.
        {QStringLiteral("dateTime"), QStringLiteral("2002-01-01T12:00:00")},
        {QStringLiteral("dateTimeStamp"), QStringLiteral("2002-01-01T12:00:00Z")},
        {QStringLiteral("duration"), QStringLiteral("P1D")},
        {QStringLiteral("dayTimeDuration"), QStringLiteral("P1D")},
        {QStringLiteral("yearMonthDuration"), QStringLiteral("P1Y")},
        {QStringLiteral("gYear"), QStringLiteral("2002")},
        {QStringLiteral("gYearMonth"), QStringLiteral("2002-01")},
        {QStringLiteral("gMonth"), QStringLiteral("--01")},
        {QStringLiteral("gMonthDay"), QStringLiteral("--01-01")},
        {QStringLiteral("gDay"), QStringLiteral("---01")},
        {QStringLiteral("hexBinary"), QStringLiteral("9a7f")},
        {QStringLiteral("base64Binary"), QStringLiteral("9a7fcca3")},
        {QStringLiteral("anyURI"), QString::fromLatin1(owb::ns::VALIDATION)},
        // The validator does not count "xml" as a declared prefix in a value: "xml:qualified"
        // would be refused.
        {QStringLiteral("QName"), QStringLiteral("qualified")},
        {QStringLiteral("normalizedString"), QStringLiteral("Normalized string")},
        {QStringLiteral("token"), QStringLiteral("token")},
        {QStringLiteral("language"), QStringLiteral("en")},
        {QStringLiteral("Name"), QStringLiteral("name")},
        {QStringLiteral("NCName"), QStringLiteral("name")},
        {QStringLiteral("NMTOKEN"), QStringLiteral("nmtoken")},
        {QStringLiteral("NMTOKENS"), QStringLiteral("nmtoken1 nmtoken2")},
        {QStringLiteral("integer"), QStringLiteral("1")},
        {QStringLiteral("nonPositiveInteger"), QStringLiteral("0")},
        {QStringLiteral("positiveInteger"), QStringLiteral("123")},
        {QStringLiteral("negativeInteger"), QStringLiteral("-1")},
        {QStringLiteral("long"), QStringLiteral("1234567")},
        {QStringLiteral("short"), QStringLiteral("12345")},
        {QStringLiteral("int"), QStringLiteral("123")},
        {QStringLiteral("byte"), QStringLiteral("1")},
        {QStringLiteral("nonNegativeInteger"), QStringLiteral("123")},
        {QStringLiteral("unsignedLong"), QStringLiteral("1234567")},
        {QStringLiteral("unsignedShort"), QStringLiteral("123")},
        {QStringLiteral("unsignedInt"), QStringLiteral("12345")},
        {QStringLiteral("unsignedByte"), QStringLiteral("1")},
        {QStringLiteral("anySimpleType"), QStringLiteral("test")},
        {QStringLiteral("anyAtomicType"), QStringLiteral("test")},
    };
    return table;
}

const QHash<QString, QPair<long double, long double>> &integerRanges()
{
    static const long double inf = INFINITY;
    static const QHash<QString, QPair<long double, long double>> table{
        {QStringLiteral("integer"), {-inf, inf}},
        {QStringLiteral("nonPositiveInteger"), {-inf, 0}},
        {QStringLiteral("negativeInteger"), {-inf, -1}},
        {QStringLiteral("nonNegativeInteger"), {0, inf}},
        {QStringLiteral("positiveInteger"), {1, inf}},
        {QStringLiteral("long"), {-9223372036854775807.0L - 1, 9223372036854775807.0L}},
        {QStringLiteral("int"), {-2147483648.0L, 2147483647.0L}},
        {QStringLiteral("short"), {-32768, 32767}},
        {QStringLiteral("byte"), {-128, 127}},
        {QStringLiteral("unsignedLong"), {0, 18446744073709551615.0L}},
        {QStringLiteral("unsignedInt"), {0, 4294967295.0L}},
        {QStringLiteral("unsignedShort"), {0, 65535}},
        {QStringLiteral("unsignedByte"), {0, 255}},
    };
    return table;
}

bool isNumeric(const QString &b)
{
    return b == QLatin1String("decimal") || b == QLatin1String("float") || b == QLatin1String("double")
           || integerRanges().contains(b);
}

std::optional<long double> number(const QString &text)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("INF") || t == QLatin1String("+INF"))
        return INFINITY;
    if (t == QLatin1String("-INF"))
        return -INFINITY;
    bool ok = false;
    const long double v = t.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

QPair<int, int> digits(const QString &value)
{
    QString t = value.trimmed();
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    QString whole = t.section(QLatin1Char('.'), 0, 0), fraction = t.section(QLatin1Char('.'), 1);
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    return {int(whole.size() + fraction.size()), int(fraction.size())};
}

QString formatNumber(long double v, bool integral, int fractionDigits)
{
    if (integral)
        return QString::number(double(std::round(v)), 'f', 0);
    return QString::number(double(v), 'f', qBound(0, fractionDigits, 6));
}


} // namespace owb::xsd::sampletables
