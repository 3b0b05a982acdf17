#include "xpath/frmFindReplace.h"

#include "common/AppPaths.h"
#include "common/OstrelError.h"
#include "common/UserInteraction.h"
#include "log/Outcome.h"
#include "server/ServerClient.h"
#include "xml/xmlutil.h"
#include "xpath/ReplaceTarget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace owb {

namespace {

const QString kTitle = QStringLiteral("XML Find & Replace");
using State = DocumentOutcome::State;

QString stateText(const DocumentOutcome &outcome)
{
    switch (outcome.state) {
    case State::Found:
        return QStringLiteral("Found");
    case State::Replaced:
        return QStringLiteral("Replaced");
    case State::Restored:
        return QStringLiteral("Restored");
    case State::Failed:
        return QStringLiteral("Failed: ") + outcome.reason;
    default:
        return QStringLiteral("Nothing found");
    }
}

QString oneLine(QString text)
{
    return text.replace(u'\n', u' ').replace(u'\r', u' ');
}

} // namespace

frmFindReplace::frmFindReplace(const AppContext &ctx, ReplaceTarget &target, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_target(&target)
{
    if (!ctx.http || !ctx.connection || !ctx.formEncoder || !ctx.ui || !ctx.log)
        throw OstrelError(QStringLiteral("frmFindReplace"), QStringLiteral("The window needs the server's client and the user interaction"));
    m_server = std::make_unique<ServerClient>(*ctx.http, ctx.connection, ctx.formEncoder);
    m_reporter = std::make_unique<OutcomeReporter>(ctx);
    setObjectName(QStringLiteral("frmFindReplace"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    updateStates();
}

frmFindReplace::~frmFindReplace() = default;

void frmFindReplace::buildControls()
{
    const auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    txtFind = named(new QLineEdit(this), "txtFind");
    txtFind->setPlaceholderText(QStringLiteral("XPath, e.g. //price or Order/@status"));
    txtReplace = named(new QPlainTextEdit(this), "txtReplace");
    txtReplace->setTabChangesFocus(true);
    txtReplace->setMaximumHeight(80);
    optValue = named(new QRadioButton(QStringLiteral("&Value"), this), "optValue");
    optFragment = named(new QRadioButton(QStringLiteral("XML f&ragment"), this), "optFragment");
    optDocument = named(new QRadioButton(QStringLiteral("&Shown document"), this), "optDocument");
    optAllListed = named(new QRadioButton(QStringLiteral("&All listed documents"), this), "optAllListed");
    chkBeforeImage = named(new QCheckBox(QStringLiteral("Keep &before-images"), this), "chkBeforeImage");
    // Two choices side by side: each pair excludes only its own.
    for (const auto &[a, b] : {std::pair{optValue, optFragment}, std::pair{optDocument, optAllListed}}) {
        auto *group = new QButtonGroup(this);
        group->addButton(a);
        group->addButton(b);
        a->setChecked(true);
    }
    chkBeforeImage->setChecked(true);

    lstMatches = named(new QTreeWidget(this), "lstMatches");
    lstMatches->setColumnCount(5);
    lstMatches->setHeaderLabels({QStringLiteral("Document"), QStringLiteral("Path"), QStringLiteral("Value"),
                                 QStringLiteral("New value"), QStringLiteral("State")});
    lstMatches->setRootIsDecorated(false);
    lstMatches->setUniformRowHeights(true);
    lstMatches->header()->setStretchLastSection(true);
    for (const auto &[column, width] : {std::pair{0, 80}, std::pair{1, 260}, std::pair{2, 140}, std::pair{3, 140}})
        lstMatches->setColumnWidth(column, width);
    lblResult = named(new QLabel(this), "lblResult");

    cmdFind = named(new QPushButton(QStringLiteral("&Find"), this), "cmdFind");
    cmdReplaceFirst = named(new QPushButton(QStringLiteral("Replace F&irst"), this), "cmdReplaceFirst");
    cmdReplaceAll = named(new QPushButton(QStringLiteral("Replace A&ll"), this), "cmdReplaceAll");
    cmdRestore = named(new QPushButton(QStringLiteral("Res&tore"), this), "cmdRestore");
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
    cmdFind->setDefault(true);

    auto *what = new QGroupBox(QStringLiteral("Put in"), this);
    auto *whatRow = new QHBoxLayout(what);
    whatRow->addWidget(optValue);
    whatRow->addWidget(optFragment);
    auto *scope = new QGroupBox(QStringLiteral("Scope"), this);
    auto *scopeRow = new QHBoxLayout(scope);
    scopeRow->addWidget(optDocument);
    scopeRow->addWidget(optAllListed);
    scopeRow->addWidget(chkBeforeImage);

    auto *grid = new QGridLayout;
    auto *findLabel = new QLabel(QStringLiteral("F&ind (XPath):"), this);
    findLabel->setBuddy(txtFind);
    auto *replaceLabel = new QLabel(QStringLiteral("Replace &with:"), this);
    replaceLabel->setBuddy(txtReplace);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(txtFind, 0, 1);
    grid->addWidget(replaceLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(txtReplace, 1, 1);
    auto *options = new QHBoxLayout;
    options->addWidget(what);
    options->addWidget(scope);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdFind, cmdReplaceFirst, cmdReplaceAll, cmdRestore})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(options);
    layout->addLayout(buttons);
    layout->addWidget(lstMatches, 1);
    layout->addWidget(lblResult);
    resize(760, 460);

    connect(txtFind, &QLineEdit::textChanged, this, &frmFindReplace::updateStates);
    connect(txtFind, &QLineEdit::returnPressed, this, &frmFindReplace::find);
    connect(optAllListed, &QRadioButton::toggled, this, &frmFindReplace::updateStates);
    connect(cmdFind, &QPushButton::clicked, this, &frmFindReplace::find);
    connect(cmdReplaceFirst, &QPushButton::clicked, this, &frmFindReplace::replaceFirst);
    connect(cmdReplaceAll, &QPushButton::clicked, this, &frmFindReplace::replaceAll);
    connect(cmdRestore, &QPushButton::clicked, this, &frmFindReplace::restore);
    connect(cmdClose, &QPushButton::clicked, this, &frmFindReplace::closeFrame);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, cmdClose, &QPushButton::click);
}

void frmFindReplace::updateStates()
{
    const bool expression = !txtFind->text().trimmed().isEmpty();
    for (QPushButton *b : {cmdFind, cmdReplaceFirst, cmdReplaceAll})
        b->setEnabled(expression);
    // The shown document's changes are undone in its editor; stored ones need the originals.
    chkBeforeImage->setEnabled(optAllListed->isChecked());
}

void frmFindReplace::report(const QString &text, bool failed)
{
    lblResult->setText(text);
    m_reporter->report(Outcome().withLog(text).withStatus(text).withBox(
        text, kTitle, failed ? UserInteraction::Icon::Exclamation : UserInteraction::Icon::Information));
}

void frmFindReplace::nothingFound()
{
    lblResult->setText(QStringLiteral("Nothing found"));
    m_reporter->report(Outcome::message(QStringLiteral("Nothing found"), kTitle).withStatus(QStringLiteral("Nothing found")));
}

std::optional<XPathReplace> frmFindReplace::request(bool firstOnly)
{
    std::optional<XPathReplace> out;
    m_reporter->run(
        [&] {
            out.emplace(ReplaceRequest{txtFind->text().trimmed(), txtReplace->toPlainText(), optFragment->isChecked(),
                                       firstOnly, m_target->schemaPrefixes()});
        },
        [this](const OstrelError &e) {
            lblResult->setText(e.description());
            return Outcome::message(e.description(), kTitle, UserInteraction::Icon::Exclamation)
                .withStatus(e.description());
        });
    return out;
}

void frmFindReplace::detachTarget()
{
    m_target = nullptr;
    closeFrame();
}

void frmFindReplace::closeFrame()
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

bool frmFindReplace::attached()
{
    if (!m_target)
        report(QStringLiteral("The document window of this search is closed"), true);
    return m_target != nullptr;
}

void frmFindReplace::find()
{
    if (!attached())
        return;
    if (const auto replace = request(false))
        optDocument->isChecked() ? inShownDocument(*replace, false) : inListedDocuments(*replace, false);
}

void frmFindReplace::replace(bool firstOnly)
{
    if (!attached())
        return;
    if (const auto replace = request(firstOnly))
        optDocument->isChecked() ? inShownDocument(*replace, true) : inListedDocuments(*replace, true);
}

void frmFindReplace::inShownDocument(const XPathReplace &replace, bool change)
{
    lstMatches->clear();
    const QString text = m_target->documentText();
    if (text.trimmed().isEmpty()) {
        report(QStringLiteral("There is no document shown to search"), true);
        return;
    }
    DomDocument doc = NewDOMDocument(false, true);
    if (!doc.loadXML(text)) {
        const DomParseError &e = doc.parseError();
        report(QStringLiteral("The shown document is not well-formed: %1 (line %2, column %3)")
                   .arg(e.reason)
                   .arg(e.line)
                   .arg(e.column),
               true);
        return;
    }
    m_reporter->run(
        [&] {
            DocumentOutcome outcome;
            outcome.matches = replace.find(doc.documentElement());
            if (outcome.matches.isEmpty())
                return nothingFound();
            outcome.id = outcome.matches.first().id;
            outcome.state = change ? State::Replaced : State::Found;
            if (change) {
                replace.apply(doc.documentElement());
                m_target->replaceDocumentText(xmlutil().FormatXML(doc.node()));
            }
            addRows(outcome);
            const int n = int(outcome.matches.size());
            const QString done = change ? QStringLiteral("%1 replaced in the shown document").arg(n)
                                        : QStringLiteral("%1 found in the shown document").arg(n);
            lblResult->setText(done);
            m_reporter->report(Outcome::done(done));
        },
        [this](const OstrelError &e) {
            lblResult->setText(e.description());
            return Outcome::message(e.description(), kTitle, UserInteraction::Icon::Exclamation).withStatus(e.description());
        });
}

void frmFindReplace::inListedDocuments(const XPathReplace &replace, bool change)
{
    lstMatches->clear();
    const QList<qint32> ids = m_target->listedIds();
    const DoctypeRef doctype = m_target->doctypeRef();
    if (ids.isEmpty()) {
        report(QStringLiteral("There are no listed documents: run the query first"), true);
        return;
    }
    const bool images = change && chkBeforeImage->isChecked();
    if (change && !images && ids.size() > 1
        && !m_ctx.ui->questionDefaultNo(QStringLiteral("Replace in up to %1 documents without before-images? "
                                                       "The originals cannot be restored.")
                                            .arg(ids.size()),
                                        kTitle))
        return;
    QList<qint32> changed;
    int withMatches = 0;
    RunSummary summary;
    const bool ran = m_reporter->run(
        [&] {
            const QString folder =
                images ? ReplaceRun::newRunFolder(AppPaths::ensureWritableDir(QStringLiteral("beforeimage"))) : QString();
            const auto progress = m_ctx.ui->beginProgress(kTitle, change ? QStringLiteral("Replacing") : QStringLiteral("Finding"),
                                                          ids.size());
            ReplaceRun run(*m_server, *m_ctx.log);
            run.setProgress(progress.get());
            run.setOnDocument([&](const DocumentOutcome &outcome) {
                addRows(outcome);
                withMatches += outcome.matches.isEmpty() ? 0 : 1;
                if (outcome.state == State::Replaced)
                    changed << outcome.id;
            });
            summary = run.run(doctype, ids, replace, !change, folder);
        },
        [](const OstrelError &e) {
            return Outcome::failure(e, kTitle, e.description());
        });
    if (!summary.beforeImages.isEmpty() && !changed.isEmpty())
        m_lastRun = summary.beforeImages;
    if (!changed.isEmpty() && m_target)
        m_target->documentsChanged(changed);
    if (!ran)
        return;
    if (summary.matches == 0 && summary.failed == 0 && !summary.cancelled)
        return nothingFound();
    QString text = change ? QStringLiteral("%1 of %2 documents changed").arg(summary.changed).arg(summary.total)
                          : QStringLiteral("%1 matches in %2 of %3 documents")
                                .arg(summary.matches)
                                .arg(withMatches)
                                .arg(summary.total);
    if (summary.failed > 0)
        text += QStringLiteral(", %1 failed").arg(summary.failed);
    if (summary.cancelled)
        text += QStringLiteral(" (cancelled after %1)").arg(summary.done);
    report(text, summary.failed > 0);
}

void frmFindReplace::addRows(const DocumentOutcome &outcome)
{
    const QString id = QString::number(outcome.id);
    if (outcome.matches.isEmpty()) {
        if (outcome.state == State::Failed || outcome.state == State::Restored)
            lstMatches->addTopLevelItem(new QTreeWidgetItem({id, QString(), QString(), QString(), stateText(outcome)}));
        return;
    }
    for (const ReplaceMatch &m : outcome.matches)
        lstMatches->addTopLevelItem(new QTreeWidgetItem(
            {id, m.path, oneLine(m.current), oneLine(m.replacement), stateText(outcome)}));
    lstMatches->scrollToBottom();
}

void frmFindReplace::restore()
{
    if (!attached())
        return;
    const DoctypeRef doctype = m_target->doctypeRef();
    const QString pattern = doctype.doctype + QStringLiteral("_*.xml");
    const QString folder = !m_lastRun.isEmpty()
        ? m_lastRun
        : ReplaceRun::lastRunFolder(AppPaths::writableDir(QStringLiteral("beforeimage")), pattern);
    if (folder.isEmpty()) {
        report(QStringLiteral("There are no before-images of %1 to restore").arg(doctype.doctype), true);
        return;
    }
    if (!m_ctx.ui->questionDefaultNo(
            QStringLiteral("Store the before-images in %1 back over the documents of %2?").arg(folder, doctype.doctype),
            kTitle))
        return;
    lstMatches->clear();
    QList<qint32> restored;
    RunSummary summary;
    const bool ran = m_reporter->run(
        [&] {
            const auto progress = m_ctx.ui->beginProgress(kTitle, QStringLiteral("Restoring"), 0);
            ReplaceRun run(*m_server, *m_ctx.log);
            run.setProgress(progress.get());
            run.setOnDocument([&](const DocumentOutcome &outcome) {
                addRows(outcome);
                if (outcome.state == State::Restored)
                    restored << outcome.id;
            });
            summary = run.restore(doctype.collectionUri(), folder, pattern);
        },
        [](const OstrelError &e) { return Outcome::failure(e, kTitle, e.description()); });
    if (!restored.isEmpty() && m_target)
        m_target->documentsChanged(restored);
    if (!ran)
        return;
    QString text = QStringLiteral("%1 documents restored").arg(summary.changed);
    if (summary.failed > 0)
        text += QStringLiteral(", %1 failed").arg(summary.failed);
    if (summary.cancelled)
        text += QStringLiteral(" (cancelled after %1)").arg(summary.done);
    report(text, summary.failed > 0);
}

} // namespace owb
