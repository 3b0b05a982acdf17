#pragma once
// Starts the real ostreld binary on a free port and talks to it over HTTP.
#include <httplib.h>

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <string>

namespace harness {

inline const char *kOsl = "http://namespaces.ostrel.org/ostrel/response2";

class Server {
public:
    explicit Server(QStringList extra = {}, QString dataFile = {})
    {
        m_data = dataFile.isEmpty() ? m_dir.filePath("data.sqlite") : dataFile;
        start(extra);
    }
    ~Server() { stop(); }

    void start(const QStringList &extra)
    {
        QString exe = qEnvironmentVariable("OSTRELD_EXE");
        QVERIFY2(!exe.isEmpty(), "OSTRELD_EXE is not set");
        m_proc = std::make_unique<QProcess>();
        m_proc->setProcessChannelMode(QProcess::SeparateChannels);
        QStringList args{"--port", "0", "--data", m_data, "--users", "u:p,demo:demo"};
        m_proc->start(exe, args + extra);
        QVERIFY2(m_proc->waitForStarted(5000), "ostreld did not start");
        QRegularExpression re("listening on port (\\d+)");
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            if (m_proc->state() == QProcess::NotRunning) break;
            m_proc->waitForReadyRead(200);
            out += m_proc->readAllStandardOutput();
            auto m = re.match(QString::fromUtf8(out));
            if (m.hasMatch()) {
                m_port = m.captured(1).toInt();
                m_startOutput = out;
                return;
            }
        }
        QFAIL(qPrintable("ostreld gave no port: " + QString::fromUtf8(out + m_proc->readAllStandardError())));
    }

    // SIGKILL: nothing gets a chance to flush, as after a crash.
    void kill()
    {
        if (m_proc && m_proc->state() != QProcess::NotRunning) {
            m_proc->kill();
            m_proc->waitForFinished(5000);
        }
    }
    void stop() { kill(); }

    std::unique_ptr<httplib::Client> client() const
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", m_port);
        c->set_read_timeout(30, 0);
        c->set_url_encode(false); // the tests encode exactly as the workbench does
        return c;
    }
    QString dataFile() const { return m_data; }
    QByteArray startOutput() const { return m_startOutput; }
    int port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QString m_data;
    std::unique_ptr<QProcess> m_proc;
    int m_port = 0;
    QByteArray m_startOutput;
};

// Every byte outside the unreserved set as %XX, the way the workbench encodes.
inline std::string enc(const std::string &s)
{
    static const char *hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// UTF-8 to ISO-8859-1, characters beyond Latin-1 as character references.
inline std::string latin1(const std::string &utf8)
{
    QString s = QString::fromUtf8(utf8);
    std::string out;
    for (uint cp : s.toUcs4()) {
        if (cp < 256) out += char(cp);
        else out += "&#" + std::to_string(cp) + ";";
    }
    return out;
}

inline httplib::Headers basic(const std::string &user = "u", const std::string &pw = "p")
{
    std::string token = QByteArray::fromStdString(user + ":" + pw).toBase64().toStdString();
    return {{"Authorization", "Basic " + token}};
}

inline const char *kForm = "application/x-www-form-urlencoded; charset=iso-8859-1";

// A parsed answer with XPath over it (osl, xql, xs, osd bound).
class Answer {
public:
    explicit Answer(const std::string &body)
    {
        m_doc = xmlReadMemory(body.data(), int(body.size()), nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    }
    Answer(const Answer &) = delete;
    ~Answer() { xmlFreeDoc(m_doc); }
    bool ok() const { return m_doc != nullptr; }

    QStringList values(const char *xpath) const
    {
        QStringList out;
        if (!m_doc) return out;
        xmlXPathContextPtr ctx = xmlXPathNewContext(m_doc);
        xmlXPathRegisterNs(ctx, BAD_CAST "osl", BAD_CAST kOsl);
        xmlXPathRegisterNs(ctx, BAD_CAST "xql", BAD_CAST "http://namespaces.ostrel.org/xql");
        xmlXPathRegisterNs(ctx, BAD_CAST "xs", BAD_CAST "http://www.w3.org/2001/XMLSchema");
        xmlXPathRegisterNs(ctx, BAD_CAST "osd", BAD_CAST "http://namespaces.ostrel.org/ostrel/schema-definition");
        xmlXPathObjectPtr o = xmlXPathEvalExpression(BAD_CAST xpath, ctx);
        if (o && o->type == XPATH_NODESET && o->nodesetval) {
            for (int i = 0; i < o->nodesetval->nodeNr; ++i) {
                xmlChar *c = xmlNodeGetContent(o->nodesetval->nodeTab[i]);
                out << QString::fromUtf8(reinterpret_cast<const char *>(c));
                xmlFree(c);
            }
        } else if (o && o->type == XPATH_STRING) {
            out << QString::fromUtf8(reinterpret_cast<const char *>(o->stringval));
        } else if (o && o->type == XPATH_NUMBER) {
            out << QString::number(o->floatval);
        } else if (o && o->type == XPATH_BOOLEAN) {
            out << (o->boolval ? "true" : "false");
        }
        xmlXPathFreeObject(o);
        xmlXPathFreeContext(ctx);
        return out;
    }
    QString value(const char *xpath) const { return values(xpath).value(0); }
    QString returnValue() const { return value("/osl:response/*[last()]/@*[1]"); }
    QString messageText() const { return value("/osl:response/*[last()]/*[last()]"); }
    QStringList ids() const { return values("/osl:response/xql:result/*/@osl:id"); }
    QString storedId() const { return value("/osl:response/osl:object/@osl:id"); }

private:
    xmlDocPtr m_doc = nullptr;
};

} // namespace harness
