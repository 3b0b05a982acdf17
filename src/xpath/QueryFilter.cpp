#include "xpath/QueryFilter.h"

namespace owb::QueryFilter {

namespace {

bool nameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.' || c == u':';
}

qsizetype skipBlanks(const QString &s, qsizetype p)
{
    while (p < s.size() && s.at(p).isSpace())
        ++p;
    return p;
}

// The position after the "]" that closes the "[" at open; -1 when there is none. Brackets
// inside quoted literals do not count.
qsizetype closingBracket(const QString &s, qsizetype open)
{
    int depth = 0;
    QChar quote;
    for (qsizetype p = open; p < s.size(); ++p) {
        const QChar c = s.at(p);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[') {
            ++depth;
        } else if (c == u']' && --depth == 0) {
            return p + 1;
        }
    }
    return -1;
}

} // namespace

QString expressionFor(const QString &root, const QString &filter)
{
    const QString f = filter.trimmed();
    return f.isEmpty() ? root : root + u'[' + f + u']';
}

Fit filterFor(const QString &root, const QString &expression)
{
    const QString e = expression.trimmed();
    if (e.isEmpty())
        return {};
    if (!e.startsWith(root) || (e.size() > root.size() && nameChar(e.at(root.size()))))
        return {QString(), QStringLiteral("The filter box filters %1 documents: the expression must "
                                          "begin with %1, as in %1[...].").arg(root)};
    qsizetype p = skipBlanks(e, root.size());
    const qsizetype first = p;
    qsizetype last = -1;
    while (p < e.size() && e.at(p) == u'[') {
        const qsizetype end = closingBracket(e, p);
        if (end < 0)
            return {QString(), QStringLiteral("The brackets or quotes of the expression do not match: "
                                              "its filter cannot go into the filter box.")};
        last = end - 1;
        p = skipBlanks(e, end);
    }
    if (p < e.size())
        return {QString(), QStringLiteral("Only the filter of %1[...] goes into the filter box: \"%2\" "
                                          "after it would select other nodes than %1 documents. Move it "
                                          "into the brackets or remove it.").arg(root, e.mid(p))};
    // Several predicates stay as they are: the box's text is put between one pair of brackets.
    if (last < 0)
        return {};
    return {e.mid(first + 1, last - first - 1).trimmed(), QString()};
}

} // namespace owb::QueryFilter
