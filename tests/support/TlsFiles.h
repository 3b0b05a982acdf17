#pragma once
// A private certificate authority and server certificates made for one test, at run time, by
// scripts/make-tls-files.sh (openssl), in a temporary folder that goes with the object.
#include "support/OstreldProcess.h"

#include <QProcess>
#include <QTemporaryDir>

namespace owbtest {

class TlsFiles {
public:
    TlsFiles()
    {
        QProcess make;
        make.setProcessChannelMode(QProcess::MergedChannels);
        make.start(QStringLiteral("bash"),
                   {QStringLiteral(OWB_SOURCE_DIR "/scripts/make-tls-files.sh"), m_dir.path()});
        if (!make.waitForFinished(60000) || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0)
            m_error = QStringLiteral("make-tls-files.sh failed: ") + QString::fromUtf8(make.readAll())
                      + make.errorString();
    }

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString authority() const { return path(QStringLiteral("ca.pem")); }   // the CA to trust
    QString key() const { return path(QStringLiteral("server.key")); }
    // For localhost, 127.0.0.1 and ::1.
    QString certificate() const { return path(QStringLiteral("server.pem")); }
    // The same names, expired in 2020.
    QString expired() const { return path(QStringLiteral("expired.pem")); }
    // Valid, for other.example only.
    QString otherHost() const { return path(QStringLiteral("otherhost.pem")); }

    // ostreld options serving HTTPS with one of the certificates above.
    OstreldOptions serving(const QString &certificate) const
    {
        OstreldOptions o;
        o.tlsCert = certificate;
        o.tlsKey = key();
        return o;
    }

private:
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace owbtest
