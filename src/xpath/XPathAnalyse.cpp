#include "xpath/XPathAnalyse.h"

namespace owb {

void XPathAnalyse::Analyse(const QString &expression)
{
    const qsizetype start = expression.indexOf(u'[') + 1;
    const qsizetype end = expression.lastIndexOf(u']') + 1;
    if (start > 0 && end > 0) {
        m_context = expression.left(start - 1);
        // A "[" as the last character leaves nothing to take, not a negative count.
        m_filter = expression.mid(start, qMax<qsizetype>(0, expression.size() - start - 1));
        m_start = start;
        m_end = end;
    } else {
        m_context = expression;
        m_filter.clear();
        m_start = m_end = 0;
    }
}

} // namespace owb
