#include "schema/RegexParts.h"

#include <QChar>
#include <QHash>

namespace owb::xsd {

bool Category::contains(char32_t c) const
{
    const bool in = [&] {
        switch (kind) {
        case Digit: return QChar::category(c) == QChar::Number_DecimalDigit;
        case Space: return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD;
        case Word: {
            const int cat = QChar::category(c);
            // Everything but punctuation, separators and "other" characters.
            return !(cat >= QChar::Punctuation_Connector && cat <= QChar::Punctuation_Other)
                   && !(cat >= QChar::Separator_Space && cat <= QChar::Separator_Paragraph)
                   && !(cat >= QChar::Other_Control && cat <= QChar::Other_NotAssigned);
        }
        case Initial: return QChar::isLetter(c) || c == '_' || c == ':';
        case NameChar:
            return QChar::isLetterOrNumber(c) || c == '_' || c == ':' || c == '.' || c == '-' || c == 0xB7
                   || QChar::isMark(c);
        case Property: return hasProperty(c);
        }
        return false;
    }();
    return in != negated;
}

bool Category::hasProperty(char32_t c) const
{
    static const QHash<QString, QPair<char32_t, char32_t>> blocks{
        {QStringLiteral("IsBasicLatin"), {0x0, 0x7F}},       {QStringLiteral("IsLatin-1Supplement"), {0x80, 0xFF}},
        {QStringLiteral("IsLatinExtended-A"), {0x100, 0x17F}}, {QStringLiteral("IsLatinExtended-B"), {0x180, 0x24F}},
        {QStringLiteral("IsGreek"), {0x370, 0x3FF}},         {QStringLiteral("IsCyrillic"), {0x400, 0x4FF}},
    };
    if (property.startsWith(QLatin1String("Is"))) {
        const auto it = blocks.constFind(property);
        // A block this table lacks: taken as any character, the validator has the last word.
        return it == blocks.cend() || (c >= it->first && c <= it->second);
    }
    const int cat = QChar::category(c);
    static const QHash<QString, QList<int>> groups{
        {QStringLiteral("L"), {QChar::Letter_Uppercase, QChar::Letter_Lowercase, QChar::Letter_Titlecase,
                               QChar::Letter_Modifier, QChar::Letter_Other}},
        {QStringLiteral("Lu"), {QChar::Letter_Uppercase}}, {QStringLiteral("Ll"), {QChar::Letter_Lowercase}},
        {QStringLiteral("Lt"), {QChar::Letter_Titlecase}}, {QStringLiteral("Lm"), {QChar::Letter_Modifier}},
        {QStringLiteral("Lo"), {QChar::Letter_Other}},
        {QStringLiteral("M"), {QChar::Mark_NonSpacing, QChar::Mark_SpacingCombining, QChar::Mark_Enclosing}},
        {QStringLiteral("N"), {QChar::Number_DecimalDigit, QChar::Number_Letter, QChar::Number_Other}},
        {QStringLiteral("Nd"), {QChar::Number_DecimalDigit}},
        {QStringLiteral("P"), {QChar::Punctuation_Connector, QChar::Punctuation_Dash, QChar::Punctuation_Open,
                               QChar::Punctuation_Close, QChar::Punctuation_InitialQuote,
                               QChar::Punctuation_FinalQuote, QChar::Punctuation_Other}},
        {QStringLiteral("S"), {QChar::Symbol_Math, QChar::Symbol_Currency, QChar::Symbol_Modifier,
                               QChar::Symbol_Other}},
        {QStringLiteral("Z"), {QChar::Separator_Space, QChar::Separator_Line, QChar::Separator_Paragraph}},
        {QStringLiteral("C"), {QChar::Other_Control, QChar::Other_Format, QChar::Other_Surrogate,
                               QChar::Other_PrivateUse, QChar::Other_NotAssigned}},
    };
    const auto it = groups.constFind(property);
    return it == groups.cend() || it->contains(cat);
}

bool CharClass::contains(char32_t c) const
{
    bool in = false;
    for (const auto &r : ranges)
        in = in || (c >= r.first && c <= r.second);
    for (const Category &cat : categories)
        in = in || cat.contains(c);
    if (negated)
        in = !in;
    return in && !(subtracted && subtracted->contains(c));
}

std::optional<char32_t> CharClass::pick(int variant) const
{
    static const char32_t preferred[] = {'a', 'A', '1', '0', 'x', 'X', '_', '-', '.', ' ', ':', '/', '+', '@',
                                         '#', '=', ',', '*', '(', ')', 'b', 'c', 'd', 'e', 'B', 'C', 'D', 'E',
                                         '2', '3', '4', '5', '6', '7', '8', '9'};
    std::optional<char32_t> first;
    int seen = 0;
    for (char32_t c : preferred) {
        if (!contains(c))
            continue;
        if (seen++ == variant)
            return c;
        if (!first)
            first = c;
    }
    if (first)
        return first;
    for (const auto &r : ranges)
        for (char32_t c = r.first; c <= r.second && c - r.first < 64; ++c)
            if (contains(c))
                return c;
    for (char32_t c = 0x21; c < 0x3000; ++c)
        if (contains(c))
            return c;
    return std::nullopt;
}

} // namespace owb::xsd
