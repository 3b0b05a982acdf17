#include "schema/PatternSampler.h"
#include "schema/RegexParts.h"

#include <QHash>
#include <QList>

#include <functional>
#include <vector>

namespace owb::xsd {

namespace {

using Text = QList<uint>;

class Parser {
public:
    explicit Parser(const QString &expression) : m_s(expression.toUcs4()) {}

    std::unique_ptr<RegexNode> parse(QString *error)
    {
        try {
            auto node = regExp();
            if (m_i < m_s.size())
                throw QStringLiteral("unexpected \"%1\"").arg(QString::fromUcs4(reinterpret_cast<const char32_t *>(&m_s[m_i]), 1));
            return node;
        } catch (const QString &why) {
            *error = why + QStringLiteral(" at position %1").arg(m_i + 1);
            return nullptr;
        }
    }

private:
    bool more() const { return m_i < m_s.size(); }
    char32_t peek(qsizetype ahead = 0) const { return m_i + ahead < m_s.size() ? m_s[m_i + ahead] : 0; }
    char32_t next()
    {
        if (!more())
            throw QStringLiteral("unexpected end");
        return m_s[m_i++];
    }

    std::unique_ptr<RegexNode> regExp()
    {
        auto alt = std::make_unique<RegexNode>();
        alt->kind = RegexNode::Alternation;
        alt->children.push_back(branch());
        while (more() && peek() == '|') {
            ++m_i;
            alt->children.push_back(branch());
        }
        if (alt->children.size() == 1)
            return std::move(alt->children.front());
        return alt;
    }

    std::unique_ptr<RegexNode> branch()
    {
        auto seq = std::make_unique<RegexNode>();
        while (more() && peek() != '|' && peek() != ')')
            seq->children.push_back(piece());
        return seq;
    }

    std::unique_ptr<RegexNode> piece()
    {
        auto atom = this->atom();
        int min = 1, max = 1;
        if (!more())
            return atom;
        const char32_t q = peek();
        if (q == '?' || q == '*' || q == '+') {
            ++m_i;
            min = q == '+' ? 1 : 0;
            max = q == '?' ? 1 : -1;
        } else if (q == '{') {
            ++m_i;
            min = number();
            max = min;
            if (peek() == ',') {
                ++m_i;
                max = peek() == '}' ? -1 : number();
            }
            if (next() != '}' || (max >= 0 && max < min))
                throw QStringLiteral("bad quantifier");
        } else {
            return atom;
        }
        auto rep = std::make_unique<RegexNode>();
        rep->kind = RegexNode::Repeat;
        rep->min = min;
        rep->max = max;
        rep->children.push_back(std::move(atom));
        return rep;
    }

    int number()
    {
        int n = 0, digits = 0;
        while (more() && peek() >= '0' && peek() <= '9') {
            n = qMin(n * 10 + int(next() - '0'), 100000);
            ++digits;
        }
        if (!digits)
            throw QStringLiteral("a quantifier needs a number");
        return n;
    }

    std::unique_ptr<RegexNode> atom()
    {
        auto node = std::make_unique<RegexNode>();
        node->kind = RegexNode::Atom;
        const char32_t c = next();
        if (c == '(') {
            auto inner = regExp();
            if (next() != ')')
                throw QStringLiteral("unclosed group");
            return inner;
        }
        if (c == '[') {
            node->cls = group();
        } else if (c == '.') {
            node->cls.negated = true;
            node->cls.ranges = {{'\n', '\n'}, {'\r', '\r'}};
        } else if (c == '\\') {
            escape(node->cls);
        } else if (c == '?' || c == '*' || c == '+' || c == '{' || c == ')' || c == ']') {
            throw QStringLiteral("unexpected \"%1\"").arg(QString::fromUcs4(&c, 1));
        } else {
            node->cls.ranges = {{c, c}};
        }
        return node;
    }

    // Behind "\": a single character goes into ranges, a class escape into categories.
    // Returns the single character, or 0 for a class escape.
    char32_t escape(CharClass &into)
    {
        const char32_t c = next();
        Category cat;
        switch (c) {
        case 'n': into.ranges << qMakePair(char32_t('\n'), char32_t('\n')); return '\n';
        case 'r': into.ranges << qMakePair(char32_t('\r'), char32_t('\r')); return '\r';
        case 't': into.ranges << qMakePair(char32_t('\t'), char32_t('\t')); return '\t';
        case 'd': case 'D': cat.kind = Category::Digit; break;
        case 'w': case 'W': cat.kind = Category::Word; break;
        case 's': case 'S': cat.kind = Category::Space; break;
        case 'i': case 'I': cat.kind = Category::Initial; break;
        case 'c': case 'C': cat.kind = Category::NameChar; break;
        case 'p': case 'P': {
            cat.kind = Category::Property;
            if (next() != '{')
                throw QStringLiteral("\\p needs {");
            while (more() && peek() != '}')
                cat.property += QString::fromUcs4(reinterpret_cast<const char32_t *>(&m_s[m_i++]), 1);
            next();
            break;
        }
        default:
            into.ranges << qMakePair(c, c);
            return c;
        }
        cat.negated = QChar::isUpper(c);
        into.categories << cat;
        return 0;
    }

    CharClass group()
    {
        CharClass cls;
        if (peek() == '^' && peek(1) != ']') {
            ++m_i;
            cls.negated = true;
        }
        bool first = true;
        for (;;) {
            const char32_t c = next();
            if (c == ']' && !first)
                break;
            if (c == '-' && peek() == '[') {
                ++m_i;
                cls.subtracted = std::make_shared<CharClass>(group());
                if (next() != ']')
                    throw QStringLiteral("a subtraction must end the class");
                break;
            }
            first = false;
            char32_t from = c;
            if (c == '\\') {
                from = escape(cls);
                if (!from)
                    continue;
                cls.ranges.removeLast();
            } else if (c == '[') {
                throw QStringLiteral("unescaped \"[\" in a class");
            }
            char32_t to = from;
            if (peek() == '-' && peek(1) != ']' && peek(1) != '[' && peek(1) != 0) {
                ++m_i;
                to = next();
                if (to == '\\') {
                    CharClass tmp;
                    to = escape(tmp);
                    if (!to)
                        throw QStringLiteral("a range cannot end in a class escape");
                }
                if (to < from)
                    throw QStringLiteral("range out of order");
            }
            cls.ranges << qMakePair(from, to);
        }
        return cls;
    }

    Text m_s;
    qsizetype m_i = 0;
};

// Backtracking match; a budget of steps keeps pathological patterns finite.
class Matcher {
public:
    explicit Matcher(const Text &t) : m_t(t) {}
    bool run(const RegexNode &n)
    {
        return match(n, 0, [this](qsizetype end) { return end == m_t.size(); });
    }

private:
    using Next = std::function<bool(qsizetype)>;

    bool match(const RegexNode &n, qsizetype at, const Next &k)
    {
        if (++m_steps > 200000)
            return false;
        switch (n.kind) {
        case RegexNode::Atom: return at < m_t.size() && n.cls.contains(m_t[at]) && k(at + 1);
        case RegexNode::Sequence: return sequence(n, 0, at, k);
        case RegexNode::Alternation:
            for (const auto &c : n.children)
                if (match(*c, at, k))
                    return true;
            return false;
        case RegexNode::Repeat: return repeat(n, 0, at, k);
        }
        return false;
    }

    bool sequence(const RegexNode &n, size_t i, qsizetype at, const Next &k)
    {
        if (i == n.children.size())
            return k(at);
        return match(*n.children[i], at, [&](qsizetype end) { return sequence(n, i + 1, end, k); });
    }

    bool repeat(const RegexNode &n, int count, qsizetype at, const Next &k)
    {
        const bool canMore = n.max < 0 || count < n.max;
        // An empty iteration cannot make progress: stop there.
        if (canMore && match(*n.children.front(), at, [&](qsizetype end) {
                return end > at && repeat(n, count + 1, end, k);
            }))
            return true;
        return count >= n.min && k(at);
    }

    const Text &m_t;
    int m_steps = 0;
};

// The shortest expansion, each repetition taking `extra` more rounds where it may.
bool generate(const RegexNode &n, int extra, int alternative, int variant, QString &out)
{
    if (out.size() > 100000)
        return false;
    switch (n.kind) {
    case RegexNode::Atom: {
        const auto c = n.cls.pick(variant);
        if (!c)
            return false;
        out += QString::fromUcs4(&*c, 1);
        return true;
    }
    case RegexNode::Sequence:
        for (const auto &c : n.children)
            if (!generate(*c, extra, alternative, variant, out))
                return false;
        return true;
    case RegexNode::Alternation: {
        const size_t count = n.children.size();
        for (size_t i = 0; i < count; ++i) {
            const size_t pick = (size_t(alternative) + i) % count;
            QString tried = out;
            if (generate(*n.children[pick], extra, alternative, variant, tried)) {
                out = tried;
                return true;
            }
        }
        return false;
    }
    case RegexNode::Repeat: {
        const int rounds = n.max < 0 ? n.min + extra : qMin(n.max, n.min + extra);
        for (int i = 0; i < rounds; ++i)
            if (!generate(*n.children.front(), extra, alternative, variant, out))
                return false;
        return true;
    }
    }
    return false;
}

} // namespace

Pattern::Pattern(const QString &expression)
{
    Parser parser(expression);
    m_root = parser.parse(&m_error);
}

Pattern::~Pattern() = default;
Pattern::Pattern(Pattern &&) noexcept = default;
Pattern &Pattern::operator=(Pattern &&) noexcept = default;

bool Pattern::matches(const QString &text) const
{
    if (!m_root)
        return false;
    const Text t = text.toUcs4();
    return Matcher(t).run(*m_root);
}

std::optional<QString> Pattern::sample(int minLength, int maxLength, int variant) const
{
    if (!m_root)
        return std::nullopt;
    for (int alternative = 0; alternative < 4; ++alternative) {
        for (int extra = 0; extra <= 64; extra = extra < 8 ? extra + 1 : extra * 2) {
            QString out;
            if (!generate(*m_root, extra, alternative, variant, out))
                break;
            const int length = int(out.toUcs4().size());
            if (maxLength >= 0 && length > maxLength)
                break;   // more rounds only make it longer
            if (length >= minLength && matches(out))
                return out;
        }
    }
    return std::nullopt;
}

} // namespace owb::xsd
