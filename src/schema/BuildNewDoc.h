#pragma once
#include "xml/DomDocument.h"

#include <QString>

#include <functional>
#include <optional>

namespace owb {

class SchemaSource;

// A filled-in sample document of a doctype, built from its XML Schema so that the schema
// accepts it: required content always, optional content once where it does not recur, of a
// choice the first alternative that can be built, values that satisfy the types' facets.
// Failures throw OstrelError (source "BuildNewDoc") saying why; nothing is returned then.
class BuildNewDoc {
public:
    // Validates the formatted sample; returns why it is not valid, or nothing.
    using Checker = std::function<std::optional<QString>(const QString &sampleText)>;

    // The root is the first global element declaration of the schema.
    DomDocument CreateNewDoc(const QString &schemaText);
    // The root is the global element declaration named doctype.
    DomDocument CreateNewDoc(const QString &schemaText, const QString &doctype);

    // Where included and imported schemas are read; url: the schema's own location, the base
    // of relative locations. Without a source a schema that includes others cannot be used.
    void setSchemaSource(SchemaSource *source, const QString &url = {});
    // Run on every sample before it is returned; a sample it refuses is not returned.
    void setChecker(Checker checker) { m_checker = std::move(checker); }

    // The most elements one sample may hold.
    static constexpr int MaxElements = 100000;

private:
    SchemaSource *m_source = nullptr;
    QString m_url;
    Checker m_checker;
};

} // namespace owb
