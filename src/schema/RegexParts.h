#pragma once
// The pieces of a parsed pattern, shared by the sampler and its character classes.
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace owb::xsd {

// \d, \w, \p{Lu} and the like.
struct Category {
    enum Kind { Digit, Word, Space, Initial, NameChar, Property } kind = Digit;
    QString property;
    bool negated = false;

    bool contains(char32_t c) const;
    bool hasProperty(char32_t c) const;
};

struct CharClass {
    bool negated = false;
    QList<QPair<char32_t, char32_t>> ranges;
    QList<Category> categories;
    std::shared_ptr<CharClass> subtracted;

    bool contains(char32_t c) const;
    // A character of the class, preferring plain ones; variant n takes the n-th plain one.
    std::optional<char32_t> pick(int variant = 0) const;
};

struct RegexNode {
    enum Kind { Atom, Sequence, Alternation, Repeat } kind = Sequence;
    CharClass cls;                                    // Atom
    std::vector<std::unique_ptr<RegexNode>> children;  // Sequence, Alternation; Repeat: one
    int min = 1, max = 1;                              // Repeat; max -1: unbounded
};

} // namespace owb::xsd
