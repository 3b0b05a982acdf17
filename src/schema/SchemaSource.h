#pragma once
// Where the schemas that a schema includes or imports come from: files beside a local schema,
// or schemas stored on the server. Validation and the sample generator resolve them alike.
#include <QByteArray>
#include <QList>
#include <QString>

namespace owb {

class HttpClient;

class SchemaSource {
public:
    struct Found {
        QByteArray bytes;
        QString url;        // where it was read; the base of its own includes
        QString fileName;   // the name validation finds it under beside the main schema
    };

    virtual ~SchemaSource() = default;
    // location: the schemaLocation as written (may be empty); ns: the import's namespace, a
    // null string for an include; base: the url of the schema that asks. Throws OstrelError
    // saying why when there is no such schema.
    virtual Found find(const QString &location, const QString &ns, const QString &base) = 0;

    // The file name a location stands for beside the main schema ("a/b.xsd", "http://h/b.xsd": "b.xsd").
    static QString fileNameOf(const QString &location);
};

// Files only, never the network: a location resolved against the asking schema's folder, else
// the file of the same name in the folder of the main schema.
class LocalSchemaSource : public SchemaSource {
public:
    explicit LocalSchemaSource(QString mainFolder) : m_mainFolder(std::move(mainFolder)) {}
    Found find(const QString &location, const QString &ns, const QString &base) override;

private:
    QString m_mainFolder;
};

// Schemas stored in the database's schema collection: the one whose schema information is
// named as the location's file (without extension), else for an import the one whose target
// namespace is the imported one. Keeps what it found, to be written beside the work schema.
class ServerSchemaSource : public SchemaSource {
public:
    ServerSchemaSource(const HttpClient *http, QString databaseURI)
        : m_http(http), m_databaseURI(std::move(databaseURI)) {}
    Found find(const QString &location, const QString &ns, const QString &base) override;

    struct Stored {
        QString fileName;
        QString text;
        bool included = false;   // by xs:include: it takes the including schema's namespace
    };
    const QList<Stored> &found() const { return m_found; }

private:
    const HttpClient *m_http;
    QString m_databaseURI;
    QList<Stored> m_found;
};

} // namespace owb
