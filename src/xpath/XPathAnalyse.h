#pragma once
#include <QString>

namespace owb {

// Splits context[filter] at its brackets. Knows no XPath beyond "[" and "]": no quoting, no
// nesting. Positions are 1-based; 0 means none.
class XPathAnalyse {
public:
    void Analyse(const QString &expression);

    qsizetype StartPosFilter() const { return m_start; }   // the first "["
    qsizetype EndPosFilter() const { return m_end; }       // the last "]"
    // After the first "[", up to the expression's last character (left out).
    const QString &FilterExpression() const { return m_filter; }
    const QString &Context() const { return m_context; }    // before the first "["

    // Strictly between the brackets: the caret right behind "[" does not count.
    bool PositionWithinFilter(qsizetype position) const
    {
        return m_start < position && position < m_end;
    }

private:
    qsizetype m_start = 0;
    qsizetype m_end = 0;
    QString m_filter;
    QString m_context;
};

} // namespace owb
