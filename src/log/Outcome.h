#pragma once
#include "common/AppContext.h"
#include "common/UserInteraction.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace owb {

class OstrelError;

// What an operation tells the user when it ends: any of a message box, log lines and a status
// line. Build one with the helpers and hand it to OutcomeReporter::report.
//
//   Outcome::done("Document has been deleted successfully")    log and status, same text
//   Outcome::failure(e, "Error has been raised", "Deletion failed: " + e.description())
//                                                  box (exclamation), log, status
//   Outcome().withLog(a).withStatus(b).withBox(text, title, icon)   anything else
struct Outcome {
    struct Box {
        QString text;
        QString title;
        UserInteraction::Icon icon = UserInteraction::Icon::Information;
    };

    std::optional<Box> box;
    QStringList log;
    std::optional<QString> status;

    static Outcome done(const QString &text);
    // The usual failure of a command: the error's description in a box and in the log.
    static Outcome failure(const OstrelError &error, const QString &title, const QString &status);
    static Outcome message(const QString &text, const QString &title,
                           UserInteraction::Icon icon = UserInteraction::Icon::Information);

    Outcome &withBox(const QString &text, const QString &title,
                     UserInteraction::Icon icon = UserInteraction::Icon::Information);
    Outcome &withLog(const QString &line);
    Outcome &withStatus(const QString &text);
};

// The one place where operations report to the user: message box through UserInteraction,
// log lines through the log sink, status line through the main window (each left out when the
// context has none). Commands use it instead of catching and reporting on their own:
//
//   OutcomeReporter report(ctx);
//   report.run([&] { ...; report.report(Outcome::done(text)); },
//              [&](const OstrelError &e) { return Outcome::failure(e, title, status); });
class OutcomeReporter {
public:
    explicit OutcomeReporter(const AppContext &ctx) : m_ctx(ctx) {}

    // The box first, then the log lines in order, then the status line.
    void report(const Outcome &outcome) const;

    // Runs op; an OstrelError escaping from it is reported as onError says and ends there.
    // Returns whether op ran to its end.
    bool run(const std::function<void()> &op,
             const std::function<Outcome(const OstrelError &)> &onError) const;

private:
    AppContext m_ctx;
};

} // namespace owb
