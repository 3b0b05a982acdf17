#include "shell/StartOptions.h"

namespace owb {

namespace {

const QString kDatabaseURI = QStringLiteral("--database-uri");

} // namespace

StartOptions StartOptions::parse(const QStringList &arguments)
{
    StartOptions o;
    auto fail = [&o](const QString &why) {
        if (o.error.isEmpty())
            o.error = why;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a == kDatabaseURI || a.startsWith(kDatabaseURI + u'=')) {
            QString uri;
            if (a != kDatabaseURI)
                uri = a.mid(kDatabaseURI.size() + 1);
            else if (i + 1 < arguments.size())
                uri = arguments.at(++i);
            else {
                fail(QStringLiteral("%1 needs a database URI").arg(kDatabaseURI));
                continue;
            }
            uri = uri.trimmed();
            // The Load button takes nothing else.
            if (!uri.startsWith(QLatin1String("http://")) && !uri.startsWith(QLatin1String("https://")))
                fail(QStringLiteral("%1 takes an http:// or https:// URI, not \"%2\"").arg(kDatabaseURI, uri));
            else
                o.databaseURI = uri;
        } else if (a.startsWith(u'-')) {
            fail(QStringLiteral("unknown option %1").arg(a));
        } else {
            fail(QStringLiteral("unexpected argument \"%1\"").arg(a));
        }
    }
    return o;
}

QString StartOptions::helpText()
{
    return QStringLiteral(
        "Usage: OstrelClient [options] [Qt options]\n"
        "Ostrel Workbench: the application to maintain Ostrel database.\n"
        "\n"
        "Options:\n"
        "  --database-uri URI  show URI first in the Navigate window's list of databases, for\n"
        "                      this run only: the saved list stays as it is\n"
        "  -h, --help          show this help and end\n"
        "\n"
        "Qt's own options are taken as well, for example -platform NAME and -style NAME.\n");
}

} // namespace owb
