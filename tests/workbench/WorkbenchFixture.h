#pragma once
// What the document window tests share: a real ostreld on a free port seeded with a small
// shop, and recording stand-ins for the main window and the log.
#include "common/AppContext.h"
#include "common/HttpClient.h"
#include "common/MainWindowApi.h"
#include "common/UserInteraction.h"
#include "log/ILogMessage.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "support/Fakes.h"
#include "support/TestContext.h"
#include "support/OstreldProcess.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace wbtest {

using FakeMainWindow = owbtest::FakeMainWindow;
using RecordingLog = owbtest::RecordingLog;

inline const char *kShopSchema = R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"
           xmlns:osd="http://namespaces.ostrel.org/ostrel/schema-definition">
  <xs:annotation><xs:appinfo>
    <osd:schemaInfo name="Shop">
      <osd:collection name="Shop"/>
      <osd:doctype name="Order"/>
      <osd:doctype name="Picture"><osd:nonXML/></osd:doctype>
    </osd:schemaInfo>
  </xs:appinfo></xs:annotation>
  <xs:element name="Order"/>
  <xs:element name="Picture"/>
</xs:schema>
)";

// Ids are given in file order: 1 Ann, 2 Bob, 3 Cy, 4 Dee.
inline const QStringList kOrders = {
    QStringLiteral("<Order><customer>Ann</customer><total>15</total>"
                   "<item no=\"1\"><name>Pen</name></item><item no=\"2\"><name>Ink &amp; &lt;quill&gt;</name></item></Order>"),
    QStringLiteral("<Order><customer>Bob</customer><total>5</total><item no=\"1\"><name>Pad</name></item></Order>"),
    QStringLiteral("<Order><customer>Cy</customer><total>30</total><note>a+b</note></Order>"),
    QStringLiteral("<Order><customer>Dee Lee</customer><total>12</total></Order>"),
};

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// One ostreld process with its own database file, seeded with the shop (or with seedDir).
class Server {
public:
    explicit Server(const QString &seed = QString())
        : m_proc(seed.isEmpty() ? shopSeed(m_dir) : seed)
    {
    }

    bool ok() const { return m_proc.ok(); }
    QString error() const { return m_proc.error(); }
    QString databaseURI() const { return m_proc.databaseURI(); }
    QString openingURI(const QString &doctype, const QString &collection = QStringLiteral("Shop")) const
    {
        return databaseURI() + QLatin1Char('/') + collection + QStringLiteral("?_xql=") + doctype;
    }

private:
    static QString shopSeed(const QTemporaryDir &dir)
    {
        const QString seed = dir.filePath(QStringLiteral("seed"));
        writeFile(seed + QStringLiteral("/schemas/shop.xsd"), kShopSchema);
        for (int i = 0; i < kOrders.size(); ++i)
            writeFile(seed + QStringLiteral("/collections/Shop/order%1.xml").arg(i + 1), kOrders[i].toUtf8());
        return seed;
    }

    QTemporaryDir m_dir;   // before m_proc: the seed is written into it
    owbtest::OstreldProcess m_proc;
};

using Context = owbtest::Context;

using IsolatedHome = owbtest::IsolatedHome;

} // namespace wbtest
