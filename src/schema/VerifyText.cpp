#include "schema/VerifyText.h"

#include "xml/Namespaces.h"

#include <algorithm>

namespace owb::verifytext {

namespace {

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

bool endsName(QChar c)
{
    return isSpace(c) || c == QLatin1Char('>') || c == QLatin1Char('/') || c == QLatin1Char('=');
}

bool startsName(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char(':');
}

qsizetype skipSpace(const QString &text, qsizetype i)
{
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return i;
}

// Position just behind the markup declaration starting at i ("<!DOCTYPE ..."), -1 if unclosed.
qsizetype skipDeclaration(const QString &text, qsizetype i)
{
    int brackets = 0;
    for (qsizetype j = i + 2; j < text.size();) {
        const QChar c = text[j];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype q = text.indexOf(c, j + 1);
            if (q < 0)
                return -1;
            j = q + 1;
        } else if (text.mid(j, 4) == QLatin1String("<!--")) {
            const qsizetype e = text.indexOf(QLatin1String("-->"), j + 4);
            if (e < 0)
                return -1;
            j = e + 3;
        } else {
            if (c == QLatin1Char('['))
                ++brackets;
            else if (c == QLatin1Char(']'))
                --brackets;
            else if (c == QLatin1Char('>') && brackets <= 0)
                return j + 1;
            ++j;
        }
    }
    return -1;
}

int countBreaks(const QString &text, qsizetype from, qsizetype to)
{
    int n = 0;
    for (qsizetype i = from; i < to; ++i)
        if (text[i] == QLatin1Char('\n') || (text[i] == QLatin1Char('\r') && (i + 1 >= text.size() || text[i + 1] != QLatin1Char('\n'))))
            ++n;
    return n;
}

// Removes the named attributes of tag from text, the blank before each staying; the tag's
// positions are no longer valid afterwards.
void removeAttributes(QString &text, const StartTag &tag, const QStringList &names, LineMap *lines)
{
    QList<Attribute> doomed;
    for (const Attribute &a : tag.attributes)
        if (names.contains(a.name))
            doomed << a;
    std::sort(doomed.begin(), doomed.end(), [](const Attribute &x, const Attribute &y) { return x.start > y.start; });
    // Counted over the whole text: a CR before the attribute and a LF after it become one
    // line break once it is gone.
    for (const Attribute &a : doomed) {
        const int line = lineAt(text, a.start);
        const int before = countBreaks(text, 0, text.size());
        text.remove(a.start, a.end - a.start);
        const int delta = countBreaks(text, 0, text.size()) - before;
        if (lines && delta)
            lines->edited(line, delta);
    }
}

// Where declarations go: behind the one blank or line break after the name, else straight
// behind the name, so that they always land inside the tag. A CR LF counts as one: split, it
// would be two line breaks and every later line would map back one too far.
qsizetype insertionPoint(const QString &text, const StartTag &tag)
{
    const qsizetype at = tag.nameEnd;
    if (at + 1 < text.size() && text[at] == QLatin1Char('\r') && text[at + 1] == QLatin1Char('\n'))
        return at + 2;
    return at < text.size() && isSpace(text[at]) ? at + 1 : at;
}

QString quoted(const QString &name, const QString &value)
{
    return name + QLatin1String("=\"") + value + QLatin1Char('"');
}

} // namespace

const Attribute *StartTag::attribute(const QString &attrName) const
{
    for (const Attribute &a : attributes)
        if (a.name == attrName)
            return &a;
    return nullptr;
}

StartTag startTagAt(const QString &text, qsizetype lt)
{
    StartTag tag;
    if (lt < 0 || lt + 1 >= text.size() || text[lt] != QLatin1Char('<') || !startsName(text[lt + 1]))
        return tag;
    qsizetype i = lt + 1;
    while (i < text.size() && !endsName(text[i]))
        ++i;
    tag.name = text.mid(lt + 1, i - lt - 1);
    tag.nameEnd = i;
    for (;;) {
        i = skipSpace(text, i);
        if (i >= text.size())
            return {};
        if (text[i] == QLatin1Char('>')) {
            tag.end = i + 1;
            break;
        }
        if (text[i] == QLatin1Char('/')) {
            if (i + 1 >= text.size() || text[i + 1] != QLatin1Char('>'))
                return {};
            tag.end = i + 2;
            break;
        }
        Attribute a;
        a.start = i;
        while (i < text.size() && !endsName(text[i]))
            ++i;
        a.name = text.mid(a.start, i - a.start);
        i = skipSpace(text, i);
        if (a.name.isEmpty() || i >= text.size() || text[i] != QLatin1Char('='))
            return {};
        i = skipSpace(text, i + 1);
        if (i >= text.size() || (text[i] != QLatin1Char('"') && text[i] != QLatin1Char('\'')))
            return {};
        const qsizetype close = text.indexOf(text[i], i + 1);
        if (close < 0)
            return {};
        i = close + 1;
        a.end = i;
        tag.attributes << a;
    }
    tag.start = lt;
    return tag;
}

StartTag rootStartTag(const QString &text)
{
    qsizetype i = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    for (;;) {
        i = skipSpace(text, i);
        if (i >= text.size() || text[i] != QLatin1Char('<'))
            return {};
        if (text.mid(i, 2) == QLatin1String("<?")) {
            const qsizetype e = text.indexOf(QLatin1String("?>"), i + 2);
            if (e < 0)
                return {};
            i = e + 2;
        } else if (text.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype e = text.indexOf(QLatin1String("-->"), i + 4);
            if (e < 0)
                return {};
            i = e + 3;
        } else if (text.mid(i, 2) == QLatin1String("<!")) {
            i = skipDeclaration(text, i);
            if (i < 0)
                return {};
        } else {
            return startTagAt(text, i);
        }
    }
}

int lineAt(const QString &text, qsizetype pos)
{
    return 1 + countBreaks(text, 0, std::min(pos, text.size()));
}

void LineMap::edited(int line, int delta)
{
    if (delta != 0)
        m_edits.append({line, delta});
}

int LineMap::toOriginal(int line) const
{
    for (auto it = m_edits.crbegin(); it != m_edits.crend(); ++it) {
        const int at = it->first, delta = it->second;
        if (delta > 0) {
            if (line > at)
                line = std::max(at, line - delta);
        } else if (line >= at) {
            // What follows a removal on its first line came from its last line; an error
            // there is the tag's end, never its name.
            line -= delta;
        }
    }
    return line;
}

PreparedSchema prepareSchema(const QString &schemaText, const QString &targetNamespace,
                             const QString &validationNs)
{
    if (!targetNamespace.isNull())
        return {schemaText, targetNamespace};

    PreparedSchema out{schemaText, validationNs};
    const StartTag tag = rootStartTag(schemaText);
    if (tag.isNull())
        return out;
    // A schema written without prefix has the XML Schema namespace as its default: that
    // declaration stays, and its references to built-in types keep working.
    const bool prefixed = tag.name.contains(QLatin1Char(':'));
    // Kept, these would appear twice in the tag and the work schema would not even parse.
    QStringList replaced{QStringLiteral("elementFormDefault")};
    if (prefixed)
        replaced << QStringLiteral("xmlns");
    removeAttributes(out.text, tag, replaced, nullptr);

    QString decl;
    if (prefixed)
        decl += quoted(QStringLiteral("xmlns"), validationNs) + QLatin1Char(' ');
    decl += quoted(QStringLiteral("targetNamespace"), validationNs) + QLatin1Char(' ')
            + quoted(QStringLiteral("elementFormDefault"), QStringLiteral("qualified")) + QLatin1Char(' ');
    const qsizetype at = insertionPoint(out.text, tag);
    if (at == tag.nameEnd)
        decl.prepend(QLatin1Char(' '));
    out.text.insert(at, decl);
    return out;
}

PreparedDocument prepareDocument(const QString &text, const QString &ns, const QString &doctype,
                                 const QString &schemaFile)
{
    PreparedDocument out;
    out.text = text;
    const StartTag root = rootStartTag(text);
    if (!root.isNull())
        out.rootLine = lineAt(text, root.start);
    // Only the root's own id: an "osl:id" in a comment or in content is the user's text.
    if (!root.isNull())
        removeAttributes(out.text, root, {QStringLiteral("osl:id")}, &out.lines);
    if (out.text.contains(ns))
        return out;

    const StartTag tag = rootStartTag(out.text);
    if (tag.isNull() || tag.name != doctype) {
        out.rootMissing = true;
        return out;
    }
    // Declarations the root already carries would be duplicated; the inserted ones replace them.
    removeAttributes(out.text, tag,
                     {QStringLiteral("xmlns"), QStringLiteral("xmlns:xsi"), QStringLiteral("xsi:schemaLocation")},
                     &out.lines);
    const QString decl = QLatin1Char(' ') + quoted(QStringLiteral("xmlns"), ns) + QLatin1Char(' ')
                         + QLatin1Char(' ') + quoted(QStringLiteral("xmlns:xsi"), QLatin1String(owb::ns::XSI))
                         + QLatin1Char(' ')
                         + quoted(QStringLiteral("xsi:schemaLocation"), ns + QLatin1String("\r\n\t") + schemaFile)
                         + QLatin1Char(' ');
    const qsizetype at = insertionPoint(out.text, tag);
    out.lines.edited(lineAt(out.text, at), 1);
    out.text.insert(at, decl);
    return out;
}

} // namespace owb::verifytext
