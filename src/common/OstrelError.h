#pragma once
#include <QString>
#include <exception>
#include <QByteArray>

namespace owb {

// The one error type services throw; windows catch it per operation.
class OstrelError : public std::exception {
public:
    static constexpr quint32 DefaultNumber = 0x80040000u;

    OstrelError(QString source, QString description, quint32 number = DefaultNumber)
        : m_number(number), m_source(std::move(source)), m_description(std::move(description)),
          m_what(m_description.toUtf8()) {}

    quint32 number() const { return m_number; }
    // The platform's signed view of the number (0x80040000 == -2147221504).
    qint32 signedNumber() const { return static_cast<qint32>(m_number); }
    const QString &source() const { return m_source; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    quint32 m_number;
    QString m_source;
    QString m_description;
    QByteArray m_what;
};

} // namespace owb
