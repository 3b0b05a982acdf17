#include "navigation/frmNavigate.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/HttpClient.h"
#include "common/MainWindowApi.h"
#include "common/OstrelError.h"
#include "common/Settings.h"
#include "common/UserInteraction.h"
#include "log/ILogMessage.h"
#include "navigation/NavigateImages.h"
#include "navigation/TreeWidgetDocTree.h"
#include "navigation/buildDocTree.h"
#include "server/LoginSecurity.h"
#include "server/ServerClient.h"
#include "server/clsConnection.h"
#include "server/frmLogin.h"
#include "workbench/frmOstrelClient.h"

namespace owb {

namespace {

const QString SettingsSection = QStringLiteral("ostreldatabase");
const QString SettingsKey = QStringLiteral("uri");
// Item data of the entry offered for this run only.
constexpr int RunOnlyRole = Qt::UserRole;

} // namespace

frmNavigate::frmNavigate(const AppContext &ctx, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_images(navigateImages())
{
    if (!m_ctx.http)
        throw OstrelError(QStringLiteral("frmNavigate"), QStringLiteral("The Navigate window needs the HTTP client"));
    setObjectName(QStringLiteral("frmNavigate"));
    setWindowTitle(QStringLiteral("Navigate"));
    setWindowIcon(m_images.value(QStringLiteral("OstrelManager")));
    buildUi();

    m_tree = std::make_unique<TreeWidgetDocTree>(tvDocs, m_images);
    LoginSecurity::trustStoredAuthorities(*m_ctx.http);

    if (m_ctx.mainWindow)
        m_ctx.mainWindow->DisableDocMenu();

    const QString stored = Settings::get(SettingsSection, SettingsKey,
                                         QString::fromLatin1(DefaultDatabaseURI));
    if (!stored.isEmpty())
        cboDatabaseURI->addItems(stored.split(QLatin1Char(',')));
    // The first URI is chosen, so a newcomer can press Load at once; typing counts as no choice.
    cboDatabaseURI->setCurrentIndex(cboDatabaseURI->count() > 0 ? 0 : -1);
    m_typed = false;
    updateLoadButton();
}

frmNavigate::~frmNavigate()
{
    saveDatabaseURIs();
    // The document windows outlive this one in the MDI area; they must not call back.
    for (const OpenDocument &open : std::as_const(m_documents))
        if (open.window)
            disconnect(open.window, nullptr, this, nullptr);
}

void frmNavigate::buildUi()
{
    m_frame = new QGroupBox(QStringLiteral("Document types"), this);
    cboDatabaseURI = new QComboBox(m_frame);
    cboDatabaseURI->setObjectName(QStringLiteral("cboDatabaseURI"));
    cboDatabaseURI->setEditable(true);
    cboDatabaseURI->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed prefix of a listed URI into that URI.
    cboDatabaseURI->setCompleter(nullptr);
    cboDatabaseURI->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cboDatabaseURI->setMinimumContentsLength(28);
    Command3 = new QPushButton(QStringLiteral("Load"), m_frame);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setToolTip(QStringLiteral("Load Ostrel document types"));
    Command3->setEnabled(false);

    auto *row = new QHBoxLayout(m_frame);
    row->addWidget(cboDatabaseURI, 1);
    row->addWidget(Command3);

    tvDocs = new QTreeWidget(this);
    tvDocs->setObjectName(QStringLiteral("tvDocs"));
    tvDocs->setHeaderHidden(true);
    tvDocs->setColumnCount(1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
    layout->addWidget(tvDocs, 1);
    resize(340, 460);

    connect(cboDatabaseURI, &QComboBox::editTextChanged, this, [this] { updateLoadButton(); });
    connect(cboDatabaseURI, &QComboBox::currentIndexChanged, this, [this] {
        m_typed = false;
        updateLoadButton();
    });
    connect(cboDatabaseURI->lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = true; });
    cboDatabaseURI->installEventFilter(this);
    cboDatabaseURI->lineEdit()->installEventFilter(this);
    connect(Command3, &QPushButton::clicked, this, [this] { Load(); });
    connect(tvDocs, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { onNodeClicked(item); });
}

void frmNavigate::updateLoadButton()
{
    const QString text = cboDatabaseURI->currentText();
    const qsizetype length = text.trimmed().size();
    Command3->setEnabled((length > 7 && text.contains(QLatin1String("http://")))
                         || (length > 8 && text.contains(QLatin1String("https://"))));
}

bool frmNavigate::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        && (watched == cboDatabaseURI || watched == cboDatabaseURI->lineEdit())) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            // The press would delete a word of the URI before the release removes it.
            if (event->type() == QEvent::KeyRelease)
                RemoveDatabaseURI();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmNavigate::AddDatabaseURI()
{
    cboDatabaseURI->addItem(cboDatabaseURI->currentText().trimmed());
    cboDatabaseURI->setCurrentIndex(cboDatabaseURI->count() - 1);
    m_typed = false;
}

void frmNavigate::RemoveDatabaseURI()
{
    const QString text = cboDatabaseURI->currentText().trimmed();
    for (int i = 0; i < cboDatabaseURI->count(); ++i) {
        if (cboDatabaseURI->itemText(i) == text) {
            // Removing the current entry would put another URI into the edit field.
            const QString shown = cboDatabaseURI->currentText();
            cboDatabaseURI->removeItem(i);
            cboDatabaseURI->setCurrentIndex(-1);
            cboDatabaseURI->setEditText(shown);
            m_typed = true;
            return;
        }
    }
}

void frmNavigate::offerDatabaseURI(const QString &uri)
{
    const QString text = uri.trimmed();
    if (text.isEmpty())
        return;
    if (cboDatabaseURI->count() == 0 || cboDatabaseURI->itemText(0) != text) {
        cboDatabaseURI->insertItem(0, text);
        cboDatabaseURI->setItemData(0, true, RunOnlyRole);
    }
    cboDatabaseURI->setCurrentIndex(0);
    m_typed = false;
    updateLoadButton();
}

QStringList frmNavigate::databaseURIs() const
{
    QStringList uris;
    for (int i = 0; i < cboDatabaseURI->count(); ++i)
        uris << cboDatabaseURI->itemText(i);
    return uris;
}

void frmNavigate::saveDatabaseURIs() const
{
    QStringList uris;
    for (int i = 0; i < cboDatabaseURI->count(); ++i)
        if (!cboDatabaseURI->itemData(i, RunOnlyRole).toBool())
            uris << cboDatabaseURI->itemText(i);
    Settings::save(SettingsSection, SettingsKey, uris.join(QLatin1Char(',')));
}

void frmNavigate::closeEvent(QCloseEvent *event)
{
    saveDatabaseURIs();
    QWidget::closeEvent(event);
}

const HttpClient &frmNavigate::http() const
{
    return *m_ctx.http;
}

void frmNavigate::log(const QString &text) const
{
    if (m_ctx.log)
        m_ctx.log->LogEntry(text);
}

void frmNavigate::setStatus(const QString &text) const
{
    if (m_ctx.mainWindow)
        m_ctx.mainWindow->setStatus(text);
}

bool frmNavigate::CheckServer(const QString &databaseURI, const QString &userId, const QString &password)
{
    const PingResult ping = ServerClient(http()).ping(databaseURI, userId, password);
    if (ping.answered && ping.status > 200)
        log(ping.failureText);
    // Unreachable, timed out or cancelled: the box that follows does not say which. A refused
    // certificate or scheme it does say, since only the user can mend that.
    if (!ping.answered && !ping.transportError.isEmpty())
        log(ping.transportError);
    m_refusal = ping.secureRefusal ? ping.transportError : QString();
    if (!m_refusal.isEmpty())
        setStatus(m_refusal);
    // A 2xx other than 200 that says "is alive" is still a failed check.
    m_connected = ping.answered && ping.status <= 200 && ping.alive;
    if (m_connected) {
        const QString text = QStringLiteral("Connection to ") + databaseURI
            + QStringLiteral(" has been established");
        log(text);
        setStatus(text);
        if (m_ctx.connection)
            m_ctx.connection->AddConString(databaseURI, userId, password);
    }
    return m_connected;
}

void frmNavigate::loginData(const QString &uri, const QString &userId, const QString &password)
{
    // The dialog has stored the authority chosen for the URI.
    m_ctx.http->setAuthorityFile(uri.trimmed(), LoginSecurity::authorityFileOf(uri.trimmed()));
    CheckServer(uri, userId, password);
}

void frmNavigate::Load()
{
    if (cboDatabaseURI->currentText().trimmed().isEmpty())
        return;
    // Blanks around a typed URI would break every request made with it.
    const QString uri = cboDatabaseURI->currentText().trimmed();
    const bool chosen = cboDatabaseURI->currentIndex() >= 0 && !m_typed;

    if (m_ctx.connection && !m_ctx.connection->ConnectionExists(uri)) {
        // A cancelled login must not ride on an earlier success.
        m_connected = false;
        m_refusal.clear();
        frmLogin dlg(this, m_ctx.ui);
        loginForm = &dlg;
        dlg.setConnection(uri);
        connect(&dlg, &frmLogin::LoginData, this, &frmNavigate::loginData);
        if (m_ctx.ui)
            m_ctx.ui->execDialog(&dlg);
        loginForm = nullptr;
        // The URI may have been changed in the dialog: only a registered uri counts.
        if (!m_ctx.connection->ConnectionExists(uri))
            m_connected = false;
    } else {
        m_connected = m_ctx.connection != nullptr;
    }

    if (!m_connected) {
        if (m_ctx.ui)
            m_ctx.ui->message(QStringLiteral("Failed to connect to server ") + uri
                                  + (m_refusal.isEmpty() ? QString() : QLatin1Char('\n') + m_refusal),
                              QGuiApplication::applicationDisplayName(),
                              UserInteraction::Icon::Exclamation);
        return;
    }

    if (!chosen)
        AddDatabaseURI();
    try {
        m_ctx.connection->setContext(uri);
    } catch (const OstrelError &e) {
        if (m_ctx.ui)
            m_ctx.ui->message(e.description(), QStringLiteral("Error raised"),
                              UserInteraction::Icon::Critical);
        return;
    }

    const QString shownURI = m_loadedURI;
    m_loadedURI = uri;
    QString failure;
    try {
        // Made on first use: a missing stylesheet is reported here instead of stopping start-up.
        if (!m_builder)
            m_builder = std::make_unique<buildDocTree>(http());
        m_builder->buildTree(uri, *m_tree);
    } catch (const OstrelError &e) {
        failure = e.description();
        if (HttpClient::isCancellation(e)) {
            // The tree still shows the database loaded before: its documents open from there.
            m_loadedURI = shownURI;
            if (!shownURI.isEmpty() && m_ctx.connection->ConnectionExists(shownURI))
                m_ctx.connection->setContext(shownURI);
        }
    }
    if (tvDocs->topLevelItemCount() > 0)
        tvDocs->topLevelItem(0)->setExpanded(true);
    if (!failure.isEmpty() && m_ctx.ui)
        m_ctx.ui->message(failure, QStringLiteral("Error raised"), UserInteraction::Icon::Critical);
}

void frmNavigate::onNodeClicked(QTreeWidgetItem *item)
{
    const QString tag = TreeWidgetDocTree::tagOf(item);
    if (tag == QLatin1String("Collection")) {
        const bool expand = !item->isExpanded();
        m_tree->setImage(item, expand ? QStringLiteral("OpenCollection") : QStringLiteral("ClosedCollection"));
        item->setExpanded(expand);
    } else if (tag == QLatin1String("Document")) {
        openDocument(TreeWidgetDocTree::keyOf(item));
    }
}

DoctypeRef frmNavigate::doctypeOf(const QString &key) const
{
    // The tree belongs to the database it was loaded from, whatever the combo shows now.
    const QString database = m_loadedURI.isEmpty() ? cboDatabaseURI->currentText() : m_loadedURI;
    return {database, key.section(QLatin1Char('/'), 0, 0), key.section(QLatin1Char('/'), 1)};
}

void frmNavigate::openDocument(const QString &key)
{
    log(QStringLiteral("Selected document ") + key);
    openDocumentWindow(doctypeOf(key));
}

frmOstrelClient *frmNavigate::openDocumentWindow(const DoctypeRef &doctype)
{
    if (frmOstrelClient *open = documentWindow(doctype)) {
        if (m_ctx.mainWindow)
            m_ctx.mainWindow->activateChild(open);
        return open;
    }

    auto *window = new frmOstrelClient(m_ctx);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setDoctype(doctype.key());
    m_documents.append({doctype, window});
    connect(window, &frmOstrelClient::closed, this, [this, doctype] { forget(doctype); });
    if (m_ctx.mainWindow)
        m_ctx.mainWindow->showChild(window);

    try {
        window->Init(doctype);
    } catch (const OstrelError &e) {
        if (m_ctx.ui)
            m_ctx.ui->message(e.description(), QStringLiteral("Error raised"), UserInteraction::Icon::Critical);
        window->close();   // its closed signal unregisters it
        return nullptr;
    }
    return window;
}

void frmNavigate::UnloadDoc(const QString &doctypeKey)
{
    forget(doctypeOf(doctypeKey));
}

void frmNavigate::forget(const DoctypeRef &doctype)
{
    const auto gone = std::remove_if(m_documents.begin(), m_documents.end(),
                                     [&](const OpenDocument &open) { return open.doctype == doctype; });
    if (gone == m_documents.end())
        return;
    m_documents.erase(gone, m_documents.end());
    if (m_documents.isEmpty() && m_ctx.mainWindow)
        m_ctx.mainWindow->DisableDocMenu();
}

QStringList frmNavigate::openDocuments() const
{
    QStringList keys;
    for (const OpenDocument &open : m_documents)
        keys << open.doctype.key();
    return keys;
}

frmOstrelClient *frmNavigate::documentWindow(const DoctypeRef &doctype) const
{
    for (const OpenDocument &open : m_documents)
        if (open.doctype == doctype)
            return open.window;
    return nullptr;
}

frmOstrelClient *frmNavigate::documentWindow(const QString &doctypeKey) const
{
    return documentWindow(doctypeOf(doctypeKey));
}

} // namespace owb
