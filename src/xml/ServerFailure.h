#pragma once
#include "xml/DomDocument.h"

#include <QString>
#include <optional>

namespace owb {

// What a server answer says when it refuses a request: an osl:messagetext carrying osl:code
// outside the result documents. A stored document may hold elements of the same names, so
// xql:result is never searched.
struct ServerFailure {
    QString code;   // osl:code as sent
    QString text;   // the message text, trimmed

    // "code: text", the form every caller shows.
    QString describe() const;
};

// The failure the answer reports; none for an answer that reports no failure.
std::optional<ServerFailure> serverFailure(const DomDocument &answer);

} // namespace owb
