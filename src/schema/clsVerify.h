#pragma once
#include <QString>
#include <optional>

#include "schema/SchemaSource.h"
#include "schema/clsVerifyError.h"
#include "xml/DomDocument.h"

namespace owb {

class HttpClient;

// Checks a document text for well-formedness, or validates it against the schema the server
// keeps for its doctype. Validation goes through two work files below the writable "temp"
// folder, which stay after each run. They are written and read under a lock file beside them,
// so validations at the same time, also of other processes, take turns.
class clsVerify {
public:
    static constexpr char SchemaFile[] = "validate.xsd";
    static constexpr char DocumentFile[] = "validate.xml";
    static constexpr char LockFile[] = "validate.lock";
    // How long a validation waits for another one to end before it fails.
    static constexpr int LockWaitMs = 120000;
    // Errors kept per validation; a document wrong in every element would otherwise flood the log.
    static constexpr int MaxErrors = 10000;

    // http: used for the schema fetch; its user interaction shows a wait for another
    // validation. Without one no schema can be fetched.
    explicit clsVerify(const HttpClient *http = nullptr) : m_http(http) {}

    // Nothing when the text is well-formed.
    std::optional<clsVerifyError> CheckWellFormedNess(const QString &text) const;
    // Nothing when the (well-formed) text is valid. Throws OstrelError when the schema cannot
    // be fetched, a work file cannot be written, or the work files stay locked by another
    // validation (LockWaitMs; a wait the user cancels is of kind Cancelled).
    std::optional<clsVerifyError> ValidateDocument(const QString &text, const QString &databaseURI,
                                                   const QString &collection, const QString &doctype) const;
    // ValidateDocument once the schema is at hand; a null schema: the server has none.
    // referenced: the schemas it includes or imports, written beside it.
    std::optional<clsVerifyError> ValidateWithSchema(const QString &text, const DomNode &schema,
                                                     const QString &doctype,
                                                     const QList<ServerSchemaSource::Stored> &referenced = {}) const;
    // The schemas stored on the server that schema includes or imports, directly or not; those
    // that cannot be had are left to the validation to report.
    static QList<ServerSchemaSource::Stored> storedReferences(const HttpClient *http, const QString &databaseURI,
                                                              const DomNode &schema);

    // The folder of the work files (not created).
    static QString workFolder();

private:
    const HttpClient *m_http;
};

} // namespace owb
