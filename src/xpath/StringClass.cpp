#include "xpath/StringClass.h"

#include "common/OstrelError.h"

namespace owb {

namespace {

// Spaces only: tabs and line breaks are part of the value.
QString trimSpaces(const QString &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && s.at(from) == u' ')
        ++from;
    while (to > from && s.at(to - 1) == u' ')
        --to;
    return s.mid(from, to - from);
}

} // namespace

void StringClass::setStringValue(const QString &value)
{
    m_value = m_spaceIsSignificant ? value : trimSpaces(value);
}

QString StringClass::SubString(qsizetype start, qsizetype end) const
{
    if (end > StringLength() + 1 || start < 1 || start >= end)
        return QString();
    return m_value.mid(start - 1, end - start);
}

void StringClass::InsertString(qsizetype position, const QString &text)
{
    if (position <= 0 || position >= StringLength())
        throw OstrelError(QStringLiteral("StringClass"), QStringLiteral("startpos is without range"));
    m_value.insert(position, text);
}

} // namespace owb
