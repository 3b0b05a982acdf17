#pragma once
#include <QString>

namespace owb {

// Where the query builder's root[filter] meets the document window's filter box, whose text
// goes into the query as doctype + "[" + text + "]", as typed.
namespace QueryFilter {

// What the builder starts from for the filter box's text: root[filter], or root alone.
QString expressionFor(const QString &root, const QString &filter);

struct Fit {
    QString filter;   // the filter box's text when reason is empty
    QString reason;   // why the expression cannot go into the filter box
};

// The filter box's text that queries what expression selects: root followed by predicates
// only. A step after them, another root or brackets that do not match cannot be expressed.
Fit filterFor(const QString &root, const QString &expression);

} // namespace QueryFilter

} // namespace owb
