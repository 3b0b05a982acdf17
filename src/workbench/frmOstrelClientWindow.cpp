// The document window's commands (its toolbars, their keys, and the main window's menu of
// them), the keys it leaves to the main window, and files dropped on it.
#include "workbench/frmOstrelClient.h"

#include "workbench/CommandBars.h"
#include "workbench/DocumentCommands.h"
#include "workbench/DocumentSession.h"
#include "workbench/EditCommands.h"
#include "workbench/EditorFind.h"
#include "workbench/FindReplaceButton.h"
#include "common/FindBar.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QTabWidget>
#include <QToolBar>

#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

// Local files dropped on a widget go to a handler; any other drop goes on as before.
class FileDrops : public QObject {
public:
    FileDrops(QWidget *target, bool several, std::function<void(const QStringList &)> handler)
        : QObject(target), m_several(several), m_handler(std::move(handler))
    {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        const auto type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList files = localFiles(drop->mimeData());
        if (files.isEmpty())
            return false;
        if (files.size() > 1 && !m_several) {
            // Not their paths as text either: several files are refused as a whole.
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // Handled once the drop is over: what follows may ask questions and wait on the server.
        if (type == QEvent::Drop)
            QMetaObject::invokeMethod(this, [this, files] { m_handler(files); }, Qt::QueuedConnection);
        return true;
    }

private:
    // Every URL a local file that exists, or nothing.
    static QStringList localFiles(const QMimeData *mime)
    {
        QStringList files;
        if (!mime || !mime->hasUrls())
            return files;
        for (const QUrl &url : mime->urls()) {
            const QFileInfo file(url.toLocalFile());
            if (!url.isLocalFile() || !file.isFile())
                return {};
            files << file.absoluteFilePath();
        }
        return files;
    }

    bool m_several;
    std::function<void(const QStringList &)> m_handler;
};

} // namespace

void frmOstrelClient::acceptFileDrops()
{
    for (QsciScintilla *editor : {m_documentEditor, m_stylesheetEditor})
        new FileDrops(editor->viewport(), false,
                      [this, editor](const QStringList &files) { m_documentCommands->openDropped(editor, files.first()); });
    new FileDrops(m_documentList->viewport(), true,
                  [this](const QStringList &files) { m_documentCommands->importDropped(files); });
}

void frmOstrelClient::buildToolbars()
{
    m_documentCommands = std::make_unique<DocumentCommands>(*this, *m_session, m_ctx);
    m_editCommands = std::make_unique<EditCommands>(*this, *m_session, m_ctx);
    m_bars = new CommandBars(this);
    m_bars->add(m_documentBar, m_documentCommands->commands());
    QList<Command> edit = m_editCommands->commands();
    edit.insert(edit.size() - 1, m_findReplace->command());   // before Exit
    m_bars->add(m_editBar, edit);
    // Whatever a command's state depends on: the texts and selections, the page, the list,
    // the document held, the clipboard.
    for (QsciScintilla *editor : {m_documentEditor, m_stylesheetEditor}) {
        connect(editor, &QsciScintilla::textChanged, m_bars, &CommandBars::update);
        connect(editor, &QsciScintilla::selectionChanged, m_bars, &CommandBars::update);
    }
    connect(m_pages, &QTabWidget::currentChanged, m_bars, &CommandBars::update);
    QAbstractItemModel *entries = m_documentList->model();
    connect(entries, &QAbstractItemModel::rowsInserted, m_bars, &CommandBars::update);
    connect(entries, &QAbstractItemModel::rowsRemoved, m_bars, &CommandBars::update);
    connect(entries, &QAbstractItemModel::modelReset, m_bars, &CommandBars::update);
    connect(m_session.get(), &DocumentSession::changed, m_bars, &CommandBars::update);
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, m_bars, &CommandBars::update);

    m_editorFind = new EditorFind(m_pages, {m_documentEditor, m_stylesheetEditor, m_schemaEditor}, this);
    m_findBar->attachKeys(this);
}

void frmOstrelClient::fillCommandMenu(QMenu *menu)
{
    m_bars->fillMenu(menu);
}

void frmOstrelClient::releaseWindowKeys()
{
    // An editor takes every key it has a binding for before any shortcut sees it: its Ctrl+L
    // (cut the line) would keep View > Log from the user while typing.
    const int key = QKeyCombination(Qt::CTRL | Qt::Key_L).toCombined();
    for (QsciScintilla *editor : {m_documentEditor, m_stylesheetEditor, m_schemaEditor}) {
        QsciCommand *bound = editor->standardCommands()->boundTo(key);
        if (bound && bound->key() == key)
            bound->setKey(0);
        else if (bound)
            bound->setAlternateKey(0);
    }
}

QAction *frmOstrelClient::commandAction(const QString &key) const
{
    return m_bars->action(key);
}

} // namespace owb
