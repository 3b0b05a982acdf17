#include "xml/ServerFailure.h"

namespace owb {

QString ServerFailure::describe() const
{
    return text.isEmpty() ? code : code + QStringLiteral(": ") + text;
}

std::optional<ServerFailure> serverFailure(const DomDocument &answer)
{
    const DomNode text = answer.selectSingleNode(
        QStringLiteral("/*/*[not(self::xql:result)]/descendant-or-self::osl:messagetext[@osl:code]"));
    if (!text)
        return std::nullopt;
    // By namespace, not by the prefix the server happened to choose.
    const DomNode code = text.selectSingleNode(QStringLiteral("@osl:code"));
    return ServerFailure{code.nodeValue(), text.text().trimmed()};
}

} // namespace owb
