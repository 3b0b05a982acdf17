#include "log/Outcome.h"

#include "common/MainWindowApi.h"
#include "common/OstrelError.h"
#include "log/ILogMessage.h"

namespace owb {

Outcome Outcome::done(const QString &text)
{
    return Outcome().withLog(text).withStatus(text);
}

Outcome Outcome::failure(const OstrelError &error, const QString &title, const QString &status)
{
    return Outcome()
        .withBox(error.description(), title, UserInteraction::Icon::Exclamation)
        .withLog(error.description())
        .withStatus(status);
}

Outcome Outcome::message(const QString &text, const QString &title, UserInteraction::Icon icon)
{
    return Outcome().withBox(text, title, icon);
}

Outcome &Outcome::withBox(const QString &text, const QString &title, UserInteraction::Icon icon)
{
    box = Box{text, title, icon};
    return *this;
}

Outcome &Outcome::withLog(const QString &line)
{
    log.append(line);
    return *this;
}

Outcome &Outcome::withStatus(const QString &text)
{
    status = text;
    return *this;
}

void OutcomeReporter::report(const Outcome &outcome) const
{
    if (outcome.box && m_ctx.ui)
        m_ctx.ui->message(outcome.box->text, outcome.box->title, outcome.box->icon);
    if (m_ctx.log)
        for (const QString &line : outcome.log)
            m_ctx.log->LogEntry(line);
    if (outcome.status && m_ctx.mainWindow)
        m_ctx.mainWindow->setStatus(*outcome.status);
}

bool OutcomeReporter::run(const std::function<void()> &op,
                          const std::function<Outcome(const OstrelError &)> &onError) const
{
    try {
        op();
        return true;
    } catch (const OstrelError &e) {
        report(onError(e));
        return false;
    }
}

} // namespace owb
