#pragma once
// What window tests share: the process-wide objects wired as the shell would, and a
// temporary home for settings and data files.
#include "common/AppContext.h"
#include "common/HttpClient.h"
#include "support/ScriptedUserInteraction.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "support/Fakes.h"
#include "xml/clsFileHandler.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace owbtest {

// The process-wide objects of one test, wired as the shell would; given a database URI, a
// connection (demo:demo) is registered and made current so that writes authenticate.
struct Context {
    FakeMainWindow main;
    RecordingLog log;
    owb::ScriptedUserInteraction ui;
    owb::HttpClient http;
    owb::FormEncoder encoder;
    owb::clsConnection connection;
    owb::clsFileHandler files;

    explicit Context(const QString &databaseURI = QString())
    {
        if (!databaseURI.isEmpty()) {
            connection.AddConString(databaseURI, QStringLiteral("demo"), QStringLiteral("demo"));
            connection.setContext(databaseURI);
        }
    }
    owb::AppContext app()
    {
        owb::AppContext c;
        c.connection = &connection;
        c.fileHandler = &files;
        c.formEncoder = &encoder;
        c.http = &http;
        c.log = &log;
        c.mainWindow = &main;
        c.ui = &ui;
        return c;
    }
};


// Data files, settings and the per-user data folder in a temporary folder.
class IsolatedHome {
public:
    IsolatedHome()
    {
        const QString settings = m_dir.filePath(QStringLiteral("settings"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
        const QDir src(QStringLiteral(OWB_DATA_DIR));
        QDirIterator it(src.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString to = m_dir.filePath(src.relativeFilePath(from));
            QDir().mkpath(QFileInfo(to).absolutePath());
            QFile::copy(from, to);
        }
        qputenv("OSTREL_WORKBENCH_HOME", m_dir.path().toUtf8());
        // The per-user data folder too (recovery copies): never the user's own.
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("share")).toUtf8());
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

} // namespace owbtest
