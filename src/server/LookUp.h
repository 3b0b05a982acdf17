#pragma once
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include "common/OstrelError.h"
#include "server/ServerAnswer.h"

namespace owb {

namespace xmlparse {
class Guard;
}
class HttpClient;
class IDocumentList;

// Reads a query answer as a stream and lists one entry per result document: text
// "osl:id=" + the id as sent, item datum the id as a number. Neither the answer nor a DOM of
// it is kept, so the memory it needs does not grow with the answer.
//
// Errors are OstrelError with source "Lookup" (transport failures keep the HTTP client's); a
// failure the server reports is of kind ServerFailure. Entries listed before an error stay.
class LookUp {
public:
    // http may be null when only the push entry points (begin/feed/finish) are used.
    explicit LookUp(const HttpClient *http = nullptr);
    ~LookUp();
    LookUp(const LookUp &) = delete;
    LookUp &operator=(const LookUp &) = delete;

    // The list to fill; must be set before parsing.
    void setDocumentList(IDocumentList *list) { m_list = list; }
    IDocumentList *documentList() const { return m_list; }

    // Fetches the complete query URL with a plain GET and lists the hits while the answer
    // arrives.
    void ParseQuery(const QString &url);

    // Push entry points: begin clears the list, feed takes any piece of the answer (split
    // anywhere), finish checks that the answer was complete and well-formed.
    void begin(const QString &sourceName = QString());
    void feed(const char *data, size_t size);
    void finish();

    // begin + feed + finish over an answer held in memory.
    void parseAnswer(const QByteArray &answer);

    // Hits listed by the current or last parse.
    int hits() const { return m_hits; }

private:
    struct Sax;
    friend struct Sax;

    void onStart(const unsigned char *localname, const unsigned char *prefix, const unsigned char *uri,
                 int nbAttributes, const unsigned char **attributes);
    void onEnd();
    void fail(const QString &description);   // the answer's shape: kind Parse
    void fail(const OstrelError &error);
    void throwIfFailed();
    void releaseParser();

    const HttpClient *m_http;
    IDocumentList *m_list = nullptr;
    void *m_ctxt = nullptr;            // xmlParserCtxtPtr
    std::unique_ptr<xmlparse::Guard> m_guard;
    EnvelopeScanner m_envelope;
    int m_hits = 0;
    bool m_listing = true;             // false while reading the body of a refused request
    QString m_source;
    std::optional<OstrelError> m_error;
};

} // namespace owb
