#pragma once
#include <QList>
#include <QString>

namespace owb {

// XML Schema validation of a file on disk, while it is parsed (no tree is built). The schema
// is the one the root's xsi:schemaLocation (or xsi:noNamespaceSchemaLocation) hint names for
// the root's namespace, resolved against the file's folder; without such a hint, or when it
// names no local file, fallbackSchema. Schemas, and the schemas they include or import, are
// read from local files only: the validator never reaches the network and loads no external
// entities.
class XsdValidator {
public:
    struct Issue {
        int line = 0;            // line of the validated file; 0 when not tied to it
        QString message;
        bool inDocument = true;  // false: the schema, not the document, is at fault
    };

    // Errors in the order found; empty when the file is valid. At most maxIssues are kept.
    // useHint false: fallbackSchema whatever the file's hint names.
    static QList<Issue> validateFile(const QString &path, const QString &fallbackSchema, int maxIssues,
                                     bool useHint = true);
};

} // namespace owb
