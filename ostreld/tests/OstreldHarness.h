#pragma once
// Starts the real ostreld binary on a free port and talks to it over HTTP.
#include <httplib.h>

#include <QString>
#include <QtTest>

#include "support/OstreldProcess.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <string>

namespace harness {

inline const char *kOsl = "http://namespaces.ostrel.org/ostrel/response2";

// The real ostreld through the launcher every test shares; users u:p and demo:demo, no seed
// unless extra names one.
class Server {
public:
    explicit Server(QStringList extra = {}, QString dataFile = {})
        : m_proc(options(std::move(extra), std::move(dataFile)))
    {
        if (!m_proc.ok()) qWarning("%s", qPrintable(m_proc.error()));
    }

    bool ok() const { return m_proc.ok(); }
    QString error() const { return m_proc.error(); }
    // SIGKILL: nothing gets a chance to flush, as after a crash.
    void kill() { m_proc.kill(); }
    owbtest::OstreldProcess &process() { return m_proc; }

    std::unique_ptr<httplib::Client> client() const
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", m_proc.port());
        c->set_read_timeout(120, 0);   // a 10 MB text under the sanitizers takes a while
        c->set_url_encode(false); // the tests encode exactly as the workbench does
        return c;
    }
    QString dataFile() const { return m_proc.dataFile(); }
    QByteArray startOutput() const { return m_proc.startOutput(); }
    int port() const { return m_proc.port(); }

private:
    static owbtest::OstreldOptions options(QStringList extra, QString dataFile)
    {
        owbtest::OstreldOptions o;
        o.seedDir.clear();
        o.users = "u:p,demo:demo";
        o.extraArgs = std::move(extra);
        o.dataFile = std::move(dataFile);
        return o;
    }
    owbtest::OstreldProcess m_proc;
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
        m_doc = xmlReadMemory(body.data(), int(body.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
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
