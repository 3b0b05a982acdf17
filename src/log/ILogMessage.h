#pragma once
#include <QString>

namespace owb {

// The log sink every component writes through.
class ILogMessage {
public:
    virtual ~ILogMessage() = default;
    virtual void LogEntry(const QString &message) = 0;
};

} // namespace owb
