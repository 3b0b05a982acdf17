// The query builder's text handling on any filter and any caret: XPathAnalyse, StringClass
// and the filter box's round trip (QueryFilter). Input: two caret bytes, then UTF-8 text.
#include <QString>

#include <cstdint>

#include "FuzzCheck.h"
#include "common/OstrelError.h"
#include "xpath/QueryFilter.h"
#include "xpath/StringClass.h"
#include "xpath/XPathAnalyse.h"

using namespace owb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) return 0;
    // Carets run a little past both ends, as a stale cursor position may.
    const qsizetype caret = qsizetype(int8_t(data[0]));
    const qsizetype other = qsizetype(int8_t(data[1]));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    XPathAnalyse analyse;
    analyse.Analyse(text);
    const qsizetype start = analyse.StartPosFilter(), end = analyse.EndPosFilter();
    if (start > 0) {
        FUZZ_CHECK(text.at(start - 1) == u'[' && end > 0 && text.at(end - 1) == u']');
        FUZZ_CHECK(analyse.Context() == text.left(start - 1));
        FUZZ_CHECK(text.mid(start).startsWith(analyse.FilterExpression()));
    } else {
        FUZZ_CHECK(end == 0 && analyse.Context() == text && analyse.FilterExpression().isEmpty());
    }
    FUZZ_CHECK(analyse.PositionWithinFilter(caret) == (start < caret && caret < end));

    for (bool significant : {false, true}) {
        StringClass value;
        value.setSpaceIsSignificant(significant);
        value.setStringValue(text);
        const qsizetype length = value.StringLength();
        FUZZ_CHECK(significant ? value.StringValue() == text : text.contains(value.StringValue()));
        const QString sub = value.SubString(caret, other);
        if (caret >= 1 && caret < other && other <= length + 1) FUZZ_CHECK(sub.size() == other - caret);
        else FUZZ_CHECK(sub.isEmpty());
        try {
            value.InsertString(caret, QStringLiteral(" = "));
            FUZZ_CHECK(caret > 0 && caret < length && value.StringLength() == length + 3);
        } catch (const OstrelError &) {
            FUZZ_CHECK((caret <= 0 || caret >= length) && value.StringLength() == length);
        }
    }

    // What the builder takes from the filter box goes back into it unchanged.
    const QString root = analyse.Context().trimmed();
    const QueryFilter::Fit fit = QueryFilter::filterFor(root, text);
    if (fit.reason.isEmpty() && !fit.filter.isEmpty() && !root.isEmpty()) {
        const QueryFilter::Fit again = QueryFilter::filterFor(root, QueryFilter::expressionFor(root, fit.filter));
        FUZZ_CHECK(again.reason.isEmpty());
    }
    return 0;
}
