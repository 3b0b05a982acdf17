#pragma once
// Window tests reach for widgets by object name. Checked up front, a missing or renamed one
// fails the test where it is looked for, instead of crashing it later on a null pointer.
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace owbtest {

struct NamedChild {
    const QMetaObject *type;
    const char *name;
};

template <typename T>
NamedChild named(const char *name)
{
    return {&T::staticMetaObject, name};
}

// The child of that type and name; a warning names the one that is missing.
template <typename T>
T *child(const QObject *parent, const char *name)
{
    T *c = parent->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qWarning("no child %s", name);
    return c;
}

// "Type name" of each child that parent lacks, comma-separated; empty when it has them all.
inline QString missingChildren(const QObject *parent, std::initializer_list<NamedChild> children)
{
    QStringList missing;
    for (const NamedChild &c : children) {
        bool found = false;
        for (QObject *o : parent->findChildren<QObject *>(QString::fromLatin1(c.name)))
            found = found || c.type->cast(o);
        if (!found)
            missing << QString::fromLatin1(c.type->className()) + u' ' + QString::fromLatin1(c.name);
    }
    return missing.join(QStringLiteral(", "));
}

} // namespace owbtest
