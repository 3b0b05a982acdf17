#pragma once
#include <QHashFunctions>
#include <QString>
#include <optional>

namespace owb {

// One doctype of one collection of one database: what a document window, a transfer or a
// command of the command-line tool works on. It travels as this value; the opening URI of a
// document window is only its text form.
struct DoctypeRef {
    QString databaseUri;
    QString collection;
    QString doctype;

    bool isNull() const { return databaseUri.isEmpty(); }
    // databaseUri + "/" + collection: where every document request of the doctype goes.
    QString collectionUri() const;
    // collection + "/" + doctype: the doctype's node key in the Navigate window's tree.
    QString key() const;
    // The opening URI of a document window: the collection URI with the doctype's query.
    QString openingUri() const;

    // An opening URI taken apart: the collection URI is what precedes the query marker, the
    // collection its part after the last "/", the database the part before it, the doctype
    // what follows the marker. Without the marker or without a "/" before it: nothing, and
    // *why says so.
    static std::optional<DoctypeRef> fromOpeningUri(const QString &uri, QString *why = nullptr);
    // A collection URI split at its last "/" (all of it is the collection without one).
    static DoctypeRef fromCollectionUri(const QString &collectionUri, const QString &doctype);

    friend bool operator==(const DoctypeRef &, const DoctypeRef &) = default;
};

size_t qHash(const DoctypeRef &ref, size_t seed = 0) noexcept;

} // namespace owb
