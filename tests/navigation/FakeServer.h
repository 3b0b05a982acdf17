#pragma once
#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>

#include "common/LocalHttpServer.h"

// A small HTTP server on 127.0.0.1 giving exact answers, for cases ostreld never produces.
// Answers are keyed by path + "?_xql=" + query, else by path alone; a GET with "_diagnose" in the query takes the ping answer.
class FakeServer {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
    };

    FakeServer()
    {
        auto handler = [this](const httplib::Request &req, httplib::Response &res) {
            QMutexLocker lock(&m_mutex);
            const QString path = QString::fromStdString(req.path);
            m_requests << path + (req.has_param("_xql")
                                      ? QStringLiteral("?_xql=") + QString::fromStdString(req.get_param_value("_xql"))
                                      : QString());
            m_authorized << QString::fromStdString(req.get_header_value("Authorization"));
            const QString exact = path + QStringLiteral("?_xql=") + QString::fromStdString(req.get_param_value("_xql"));
            const Answer a = req.has_param("_diagnose")
                ? m_ping
                : m_answers.value(exact, m_answers.value(path, Answer{404, "not here"}));
            res.status = a.status;
            res.set_content(a.body.toStdString(), "text/xml");
        };
        m_http.server.Get(".*", handler);
        m_ok = m_http.start();
    }

    // False when the server did not come up.
    bool ok() const { return m_ok; }
    QString base() const { return m_http.url(); }
    void setAnswer(const QString &path, int status, const QByteArray &body)
    {
        QMutexLocker lock(&m_mutex);
        m_answers[path] = {status, body};
    }
    void setPing(int status, const QByteArray &body)
    {
        QMutexLocker lock(&m_mutex);
        m_ping = {status, body};
    }
    QStringList requests()
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    QStringList authorizations()
    {
        QMutexLocker lock(&m_mutex);
        return m_authorized;
    }

private:
    QMutex m_mutex;
    QMap<QString, Answer> m_answers;
    Answer m_ping{200, "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\">"
                       "<osl:message osl:returnvalue=\"0\"><osl:messageline>Server is alive</osl:messageline>"
                       "</osl:message></osl:response>"};
    QStringList m_requests;
    QStringList m_authorized;
    // Last: stopped before the answers its handler reads go away.
    owbtest::LocalHttpServer m_http;
    bool m_ok = false;
};
