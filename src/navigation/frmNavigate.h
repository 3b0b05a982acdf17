#pragma once
#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "common/AppContext.h"
#include "server/DoctypeRef.h"

class QComboBox;
class QGroupBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace owb {

class HttpClient;
class buildDocTree;
class frmLogin;
class frmOstrelClient;
class TreeWidgetDocTree;

// Chooses a database, connects to it, shows its collections and doctypes and opens one
// document window per doctype.
class frmNavigate : public QWidget {
    Q_OBJECT
public:
    static constexpr const char *DefaultDatabaseURI = "http://localhost:8790/ostrel/mydb";

    // The context must hold the HTTP client; throws OstrelError otherwise.
    explicit frmNavigate(const AppContext &ctx, QWidget *parent = nullptr);
    ~frmNavigate() override;

    // A document window opened from here has closed: the window registered under the key
    // (collection + "/" + doctype) for the database the tree shows is forgotten.
    void UnloadDoc(const QString &doctypeKey);

    void AddDatabaseURI();
    void RemoveDatabaseURI();
    // Puts uri first in the list and chooses it, for this run: the saved list leaves it out
    // (a copy the user adds or already had is saved as usual). Nothing for an empty uri.
    void offerDatabaseURI(const QString &uri);
    // The liveness check of databaseURI; registers the connection when the server is alive.
    bool CheckServer(const QString &databaseURI, const QString &userId, const QString &password);

    bool connected() const { return m_connected; }
    QStringList databaseURIs() const;
    // The keys of the open document windows, in the order they were opened.
    QStringList openDocuments() const;
    // The open window of a doctype; the key names one of the database the tree shows.
    frmOstrelClient *documentWindow(const DoctypeRef &doctype) const;
    frmOstrelClient *documentWindow(const QString &doctypeKey) const;
    // The document window of a doctype: the open one brought forward, or a new one,
    // registered and initialised. Null when it cannot open (the user has been told).
    frmOstrelClient *openDocumentWindow(const DoctypeRef &doctype);
    const QHash<QString, QIcon> &imlDocs() const { return m_images; }
    // Writes the URI list, without an offered entry, to the settings (also done when the
    // window closes).
    void saveDatabaseURIs() const;

    // The Load button's action.
    void Load();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void updateLoadButton();
    void onNodeClicked(QTreeWidgetItem *item);
    void openDocument(const QString &key);
    DoctypeRef doctypeOf(const QString &key) const;
    void forget(const DoctypeRef &doctype);
    void loginData(const QString &uri, const QString &userId, const QString &password);
    const HttpClient &http() const;
    void log(const QString &text) const;
    void setStatus(const QString &text) const;

    AppContext m_ctx;
    std::unique_ptr<buildDocTree> m_builder;
    std::unique_ptr<TreeWidgetDocTree> m_tree;
    QHash<QString, QIcon> m_images;
    // The document windows opened from here, one per doctype, in opening order.
    struct OpenDocument {
        DoctypeRef doctype;
        QPointer<frmOstrelClient> window;
    };
    QList<OpenDocument> m_documents;
    bool m_connected = false;
    QString m_refusal;           // why the last check's secure connection was refused
    bool m_typed = false;        // the combo's text was typed since an entry was chosen
    QString m_loadedURI;         // the database the tree shows
    QPointer<frmLogin> loginForm;

    QGroupBox *m_frame = nullptr;
    QComboBox *cboDatabaseURI = nullptr;
    QPushButton *Command3 = nullptr;
    QTreeWidget *tvDocs = nullptr;
};

} // namespace owb
