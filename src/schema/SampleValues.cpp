#include "schema/SampleValues.h"

#include "schema/PatternSampler.h"
#include "schema/SampleTables.h"
#include "xml/Namespaces.h"

#include <QHash>

#include <cmath>
#include <limits>

namespace owb::xsd {


QString SampleValues::builtinSample(const QString &local) { return sampletables::samples().value(local); }

QString SampleValues::another(const SimpleType &type, const QString &value, int n) const
{
    static const QStringList textual{QStringLiteral("string"), QStringLiteral("normalizedString"),
                                     QStringLiteral("token"), QStringLiteral("NMTOKEN"), QStringLiteral("Name"),
                                     QStringLiteral("NCName"), QStringLiteral("anySimpleType")};
    QStringList candidates;
    if (!type.facets.enumeration.isEmpty())
        candidates << type.facets.enumeration.value((n - 1) % type.facets.enumeration.size());
    else if (type.variety == SimpleType::Atomic && textual.contains(type.builtin))
        candidates << value + QString::number(n);
    else if (type.variety == SimpleType::Atomic && sampletables::integerRanges().contains(type.builtin))
        candidates << QString::number(value.toLongLong() + n - 1) << QString::number(value.toLongLong() - n + 1);
    for (const QString &c : std::as_const(candidates))
        if (accepts(type, c))
            return c;
    // A pattern may allow other characters.
    if (type.variety == SimpleType::Atomic && !type.facets.patterns.isEmpty())
        for (const QString &p : type.facets.patterns.first())
            if (const auto s = Pattern(p).sample(type.facets.minLength.value_or(0), type.facets.maxLength.value_or(-1), n - 1);
                s && accepts(type, *s))
                return *s;
    return value;
}

void SampleValues::addFacets(const Node &restriction, SimpleType &into) const
{
    Facets &f = into.facets;
    QStringList enumeration, patterns;
    auto intFacet = [](std::optional<int> &slot, const Node &c) {
        if (!slot)
            slot = c.attr("value").trimmed().toInt();
    };
    auto textFacet = [](QString &slot, const Node &c) {
        if (slot.isNull())
            slot = c.attr("value");
    };
    for (const Node &c : restriction.children()) {
        if (c.is("enumeration"))
            enumeration << c.attr("value");
        else if (c.is("pattern"))
            patterns << c.attr("value");
        else if (c.is("length"))
            intFacet(f.length, c);
        else if (c.is("minLength"))
            intFacet(f.minLength, c);
        else if (c.is("maxLength"))
            intFacet(f.maxLength, c);
        else if (c.is("totalDigits"))
            intFacet(f.totalDigits, c);
        else if (c.is("fractionDigits"))
            intFacet(f.fractionDigits, c);
        else if (c.is("minInclusive"))
            textFacet(f.minInclusive, c);
        else if (c.is("maxInclusive"))
            textFacet(f.maxInclusive, c);
        else if (c.is("minExclusive"))
            textFacet(f.minExclusive, c);
        else if (c.is("maxExclusive"))
            textFacet(f.maxExclusive, c);
    }
    if (f.enumeration.isEmpty())
        f.enumeration = enumeration;
    if (!patterns.isEmpty())
        f.patterns << patterns;
}

SimpleType SampleValues::derive(const QName &builtin, SimpleType into) const
{
    into.builtin = builtin.local;
    return into;
}

SimpleType SampleValues::derive(const Node &simpleType, SimpleType into) const
{
    Node step = simpleType;
    for (int guard = 0; step && guard < 100; ++guard) {
        const Node r = step.is("restriction") ? step : step.child("restriction");
        if (r) {
            addFacets(r, into);
            if (r.has("base")) {
                const QName base = m_schemas.resolve(r, r.attr("base"));
                if (base.isXs())
                    return derive(base, into);
                step = m_schemas.require(SchemaSet::SimpleType, base, r);
            } else {
                step = r.child("simpleType");
            }
            continue;
        }
        if (const Node list = step.child("list")) {
            into.variety = SimpleType::List;
            const Node inner = list.child("simpleType");
            const QName item = inner ? QName{} : m_schemas.resolve(list, list.attr("itemType"));
            into.itemOrMembers = {inner ? inner : m_schemas.type(item, list)};
            into.builtins = {item};
            return into;
        }
        if (const Node u = step.child("union")) {
            into.variety = SimpleType::Union;
            for (const QString &m : u.attr("memberTypes").split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const QName name = m_schemas.resolve(u, m);
                into.itemOrMembers << m_schemas.type(name, u);
                into.builtins << name;
            }
            for (const Node &inner : u.children())
                if (inner.is("simpleType")) {
                    into.itemOrMembers << inner;
                    into.builtins << QName{};
                }
            return into;
        }
        break;
    }
    into.builtin = QStringLiteral("anySimpleType");
    return into;
}

QString SampleValues::nextId() const { return QStringLiteral("id%1").arg(++m_ids); }

bool SampleValues::accepts(const SimpleType &type, const QString &value) const
{
    const Facets &f = type.facets;
    if (!m_avoid.isEmpty() && value.contains(m_avoid))
        return false;
    if (!f.enumeration.isEmpty() && !f.enumeration.contains(value))
        return false;
    for (const QStringList &level : f.patterns) {
        bool any = false;
        for (const QString &p : level)
            any = any || Pattern(p).matches(value);
        if (!any)
            return false;
    }
    if (type.variety == SimpleType::Atomic) {
        const QString &b = type.builtin;
        int length = int(value.toUcs4().size());
        if (b == QLatin1String("hexBinary"))
            length /= 2;
        else if (b == QLatin1String("base64Binary"))
            length = int(QByteArray::fromBase64(value.toLatin1()).size());
        if ((f.length && length != *f.length) || (f.minLength && length < *f.minLength)
            || (f.maxLength && length > *f.maxLength))
            return false;
        if (sampletables::isNumeric(b)) {
            const auto v = sampletables::number(value);
            if (!v)
                return false;
            auto bound = [&](const QString &text, auto ok) {
                const auto limit = text.isNull() ? std::nullopt : sampletables::number(text);
                return !limit || ok(*v, *limit);
            };
            if (!bound(f.minInclusive, [](long double a, long double l) { return a >= l; })
                || !bound(f.maxInclusive, [](long double a, long double l) { return a <= l; })
                || !bound(f.minExclusive, [](long double a, long double l) { return a > l; })
                || !bound(f.maxExclusive, [](long double a, long double l) { return a < l; }))
                return false;
            const auto range = sampletables::integerRanges().value(b, {-INFINITY, INFINITY});
            if (*v < range.first || *v > range.second)
                return false;
            const QPair<int, int> d = sampletables::digits(value);
            if ((f.totalDigits && d.first > *f.totalDigits) || (f.fractionDigits && d.second > *f.fractionDigits))
                return false;
        }
    }
    return true;
}

SampleValues::Value SampleValues::make(const SimpleType &type, int depth) const
{
    if (depth > 20)
        return {QString(), QStringLiteral("the simple types nest too deeply")};
    const Facets &f = type.facets;
    if (!f.enumeration.isEmpty()) {
        for (const QString &v : f.enumeration)
            if (accepts(type, v))
                return {v};
        return {f.enumeration.first()};
    }
    if (type.variety == SimpleType::Atomic)
        return atomic(type);

    QStringList tried;
    for (qsizetype i = 0; i < type.itemOrMembers.size(); ++i) {
        const Node &n = type.itemOrMembers[i];
        const SimpleType member = n ? derive(n) : derive(type.builtins.value(i));
        Value v = make(member, depth + 1);
        if (!v.ok()) {
            tried << v.why;
            continue;
        }
        if (type.variety == SimpleType::List) {
            const int count = f.length.value_or(qMax(1, f.minLength.value_or(1)));
            if (f.maxLength && count > *f.maxLength)
                return {QString(), QStringLiteral("a list of at most %1 items cannot hold %2").arg(*f.maxLength).arg(count)};
            QStringList items;
            for (int k = 0; k < count; ++k)
                items << (v.idRef || k == 0 || member.builtin != QLatin1String("ID") ? v.text : nextId());
            v.text = items.join(QLatin1Char(' '));
        }
        if (accepts(type, v.text))
            return v;
        tried << QStringLiteral("\"%1\" does not match the patterns").arg(v.text);
    }
    for (const QStringList &level : f.patterns)
        for (const QString &p : level)
            if (const auto s = Pattern(p).sample(); s && accepts(type, *s))
                return {*s};
    return {QString(), tried.isEmpty() ? QStringLiteral("no member type gives a value") : tried.first()};
}

SampleValues::Value SampleValues::atomic(const SimpleType &type) const
{
    const QString &b = type.builtin;
    const Facets &f = type.facets;
    if (b == QLatin1String("ENTITY") || b == QLatin1String("ENTITIES"))
        return {QString(), QStringLiteral("an %1 value needs an unparsed entity that only a DTD declares").arg(b)};
    if (b == QLatin1String("NOTATION"))
        return {QString(), QStringLiteral("a NOTATION value needs an enumeration of notations")};
    if (b == QLatin1String("IDREF") || b == QLatin1String("IDREFS"))
        return {QString(), QString(), true};
    if (b == QLatin1String("ID")) {
        const QString id = nextId();
        if (accepts(type, id))
            return {id};
    }

    QStringList candidates;
    const QString sample = sampletables::samples().value(b, QStringLiteral("test"));
    candidates << sample;
    if (b == QLatin1String("anyURI"))
        candidates << QStringLiteral("http://www.example.com/");
    if (sampletables::isNumeric(b)) {
        const bool integral = sampletables::integerRanges().contains(b);
        const auto range = sampletables::integerRanges().value(b, {-INFINITY, INFINITY});
        long double lo = range.first, hi = range.second;
        if (const auto v = sampletables::number(f.minInclusive); !f.minInclusive.isNull() && v)
            lo = qMax(lo, *v);
        if (const auto v = sampletables::number(f.minExclusive); !f.minExclusive.isNull() && v)
            lo = qMax(lo, integral ? std::floor(*v) + 1 : *v);
        if (const auto v = sampletables::number(f.maxInclusive); !f.maxInclusive.isNull() && v)
            hi = qMin(hi, *v);
        if (const auto v = sampletables::number(f.maxExclusive); !f.maxExclusive.isNull() && v)
            hi = qMin(hi, integral ? std::ceil(*v) - 1 : *v);
        const int fraction = f.fractionDigits.value_or(2);
        candidates << QStringLiteral("1") << QStringLiteral("0");
        if (std::isfinite(lo)) {
            candidates << sampletables::formatNumber(lo, integral, fraction);
            candidates << sampletables::formatNumber(lo + (integral ? 1 : 0.5L), integral, fraction);
        }
        if (std::isfinite(hi))
            candidates << sampletables::formatNumber(hi, integral, fraction) << sampletables::formatNumber(hi - 1, integral, fraction);
        if (std::isfinite(lo) && std::isfinite(hi))
            candidates << sampletables::formatNumber((lo + hi) / 2, integral, fraction);
    } else {
        // Dates and the like: a bound is a value of the type.
        candidates << f.minInclusive << f.maxInclusive;
    }
    const bool hasLength = f.length || f.minLength || f.maxLength;
    for (const QString &c : std::as_const(candidates))
        if (!c.isNull() && accepts(type, c))
            return {c};

    const int maxLength = f.length.value_or(f.maxLength.value_or(-1));
    if (!f.patterns.isEmpty()) {
        for (const QString &p : f.patterns.first()) {
            const Pattern pattern(p);
            if (!pattern.isValid())
                return {QString(), QStringLiteral("the pattern \"%1\" cannot be read: %2").arg(p, pattern.error())};
            const int minLength = f.length.value_or(f.minLength.value_or(0));
            if (const auto s = pattern.sample(minLength, maxLength); s && accepts(type, *s))
                return {*s};
        }
        return {QString(), QStringLiteral("no value of %1 was found that matches the pattern \"%2\"")
                               .arg(b, f.patterns.first().join(QStringLiteral("\" or \"")))};
    }
    if (hasLength) {
        const int lo = f.length.value_or(f.minLength.value_or(0));
        const int hi = f.length.value_or(f.maxLength.value_or(std::numeric_limits<int>::max()));
        QString fitted;
        if (b == QLatin1String("hexBinary"))
            fitted = QStringLiteral("9a").repeated(lo);
        else if (b == QLatin1String("base64Binary"))
            fitted = QString::fromLatin1(QByteArray(lo, 'a').toBase64());
        else
            fitted = (sample + QStringLiteral("x").repeated(qMax(0, lo - int(sample.size())))).left(hi);
        if (accepts(type, fitted))
            return {fitted};
    }
    return {QString(), QStringLiteral("no value of %1 satisfies its facets").arg(b)};
}

} // namespace owb::xsd
