#pragma once
#include <QString>

namespace owb {

// One string, trimmed of leading and trailing spaces on assignment unless spaces count.
// Positions are 1-based.
class StringClass {
public:
    bool SpaceIsSignificant() const { return m_spaceIsSignificant; }
    void setSpaceIsSignificant(bool significant) { m_spaceIsSignificant = significant; }

    const QString &StringValue() const { return m_value; }
    void setStringValue(const QString &value);
    qsizetype StringLength() const { return m_value.size(); }

    // From start up to, not including, end; empty when the range is not inside the value.
    QString SubString(qsizetype start, qsizetype end) const;
    // text after the first position characters. Only strictly inside the value
    // (0 < position < StringLength); otherwise throws OstrelError and leaves the value alone.
    void InsertString(qsizetype position, const QString &text);

private:
    bool m_spaceIsSignificant = false;
    QString m_value;
};

} // namespace owb
