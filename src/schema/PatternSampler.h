#pragma once
// XML Schema regular expressions (the pattern facet): a string that matches one, and whether
// a string matches. Patterns are anchored at both ends, as in schemas.
#include <QString>

#include <memory>
#include <optional>

namespace owb::xsd {

struct RegexNode;

class Pattern {
public:
    // Throws nothing: a pattern that does not parse gives isValid() == false and error().
    explicit Pattern(const QString &expression);
    ~Pattern();
    Pattern(Pattern &&) noexcept;
    Pattern &operator=(Pattern &&) noexcept;

    bool isValid() const { return m_root != nullptr; }
    QString error() const { return m_error; }

    bool matches(const QString &text) const;
    // A matching string whose length lies in [minLength, maxLength] (maxLength < 0: no bound);
    // nothing when none was found. Another variant picks other characters where it may.
    std::optional<QString> sample(int minLength = 0, int maxLength = -1, int variant = 0) const;

private:
    std::unique_ptr<RegexNode> m_root;
    QString m_error;
};

} // namespace owb::xsd
