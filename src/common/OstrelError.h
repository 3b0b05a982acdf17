#pragma once
#include <QString>
#include <exception>
#include <QByteArray>

namespace owb {

// The one error type services throw; windows catch it per operation.
//
// Besides its number, source and description an error says what kind of failure it is, so
// that code decides by the kind and never by the words of a message: a caller that rewords
// an error for its user (reworded) keeps the kind, the HTTP status and the server's code.
class OstrelError : public std::exception {
public:
    static constexpr quint32 DefaultNumber = 0x80040000u;

    enum class Kind {
        Other,           // anything not listed below (a usage fault, a DOM edit, ...)
        Cancelled,       // the user stopped the operation
        Transport,       // no answer: unreachable, refused, timed out, TLS refused
        HttpStatus,      // the server answered with a status the operation does not take
        ServerFailure,   // the server's envelope reports a failure (serverCode: its osl:code)
        Parse,           // text that is not (well-formed) XML, or an answer of the wrong shape
        LocalFile,       // a local file or folder that cannot be read or written
    };

    OstrelError(QString source, QString description, quint32 number = DefaultNumber)
        : OstrelError(Kind::Other, std::move(source), std::move(description), number) {}
    OstrelError(Kind kind, QString source, QString description, quint32 number = DefaultNumber)
        : m_kind(kind), m_number(number), m_source(std::move(source)), m_description(std::move(description)),
          m_what(m_description.toUtf8()) {}

    static OstrelError httpStatus(QString source, QString description, int status)
    {
        OstrelError e(Kind::HttpStatus, std::move(source), std::move(description));
        e.m_httpStatus = status;
        return e;
    }
    static OstrelError serverFailure(QString source, QString description, QString code, QString reason = {})
    {
        OstrelError e(Kind::ServerFailure, std::move(source), std::move(description));
        return e.withServerReason(std::move(code), std::move(reason));
    }
    // The failure the server reported with it (its code and "code: text"), also beside an
    // HTTP status.
    OstrelError &withServerReason(QString code, QString reason)
    {
        m_serverCode = std::move(code);
        m_serverReason = std::move(reason);
        return *this;
    }

    // The same failure, told by another source in other words.
    OstrelError reworded(QString source, QString description, quint32 number = DefaultNumber) const
    {
        OstrelError e(m_kind, std::move(source), std::move(description), number);
        e.m_httpStatus = m_httpStatus;
        e.m_serverCode = m_serverCode;
        e.m_serverReason = m_serverReason;
        return e;
    }

    Kind kind() const { return m_kind; }
    bool isCancelled() const { return m_kind == Kind::Cancelled; }
    // HttpStatus: the status the server answered with; 0 otherwise.
    int httpStatus() const { return m_httpStatus; }
    // The code the server gave with a failure (osl:code, else the return value) and its words
    // ("code: text"); empty when the server said nothing of its own.
    const QString &serverCode() const { return m_serverCode; }
    const QString &serverReason() const { return m_serverReason; }

    quint32 number() const { return m_number; }
    // The platform's signed view of the number (0x80040000 == -2147221504).
    qint32 signedNumber() const { return static_cast<qint32>(m_number); }
    const QString &source() const { return m_source; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    quint32 m_number;
    QString m_source;
    QString m_description;
    int m_httpStatus = 0;
    QString m_serverCode;
    QString m_serverReason;
    QByteArray m_what;
};

} // namespace owb
