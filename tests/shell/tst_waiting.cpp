// A document window waiting for a slow server: it keeps painting, the progress dialog comes
// up, Cancel ends the query with the list as it was, and no second command starts meanwhile.
// The server is real HTTP on 127.0.0.1; it sends the first hit at once and holds the rest of
// the answer until the test lets it go.
#include "common/HttpClient.h"
#include "shell/QtProgress.h"
#include "support/TestContext.h"
#include "navigation/frmNavigate.h"
#include "workbench/frmOstrelClient.h"

#include <httplib.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <Qsci/qsciscintilla.h>

#include <condition_variable>
#include <mutex>
#include <regex>
#include <thread>

using namespace owb;

namespace {

const std::string kHead = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                          "xmlns:xql=\"http://namespaces.ostrel.org/xql\"><xql:result>";
const std::string kTail = "</xql:result></osl:response>";

std::string hit(int id)
{
    return "<Order osl:id=\"" + std::to_string(id) + "\"><customer>C" + std::to_string(id) + "</customer></Order>";
}

class SlowServer {
public:
    SlowServer()
    {
        m_server.Get("/db/Shop", [this](const httplib::Request &req, httplib::Response &res) { answer(req, res); });
        m_server.Get("/db/osl:collection", [this](const httplib::Request &req, httplib::Response &res) { answer(req, res); });
        m_server.Post("/db/Shop", [this](const httplib::Request &req, httplib::Response &res) { answer(req, res); });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~SlowServer()
    {
        letGo();
        m_server.stop();
        m_thread.join();
    }
    QString databaseURI() const { return QStringLiteral("http://127.0.0.1:%1/db").arg(m_port); }
    QString openingURI() const { return databaseURI() + QStringLiteral("/Shop?_xql=Order"); }

    // The list queries answer these ids from now on; held: the next request (of any kind) sends
    // only the start of its answer until letGo.
    void answerWith(std::vector<int> ids, bool held)
    {
        std::lock_guard l(m_lock);
        m_ids = std::move(ids);
        m_holdNext = held;
        m_open = !held;
    }
    void letGo()
    {
        {
            std::lock_guard l(m_lock);
            m_open = true;
        }
        m_released.notify_all();
    }
    int listQueries() const { return m_listQueries; }
    bool holding() const { return m_holding; }

private:
    void answer(const httplib::Request &req, httplib::Response &res)
    {
        const std::string xql = req.get_param_value("_xql");
        std::smatch m;
        std::string first, rest;
        if (req.path == "/db/osl:collection") {
            first = kHead;
            rest = "<osd:schemaInfo xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\" name=\"Shop\">"
                   "<osd:collection name=\"Shop\"/><osd:doctype name=\"Order\"/></osd:schemaInfo>"
                   + kTail;
        } else if (req.method == "POST") {
            first = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\">";
            rest = "<osl:object osl:id=\"99\"/><osl:message osl:returnvalue=\"0\"><osl:messageline>ok"
                   "</osl:messageline></osl:message></osl:response>";
        } else if (std::regex_search(xql, m, std::regex("@osl:id=(\\d+)"))) {
            first = kHead;
            rest = hit(std::stoi(m[1])) + kTail;
        } else {
            ++m_listQueries;
            std::lock_guard l(m_lock);
            for (size_t i = 1; i < m_ids.size(); ++i)
                rest += hit(m_ids[i]);
            rest += kTail;
            first = kHead + (m_ids.empty() ? std::string() : hit(m_ids.front()));
        }
        bool held = false;
        {
            std::lock_guard l(m_lock);
            held = m_holdNext;
            m_holdNext = false;
        }
        res.set_chunked_content_provider("text/xml", [this, first, rest, held](size_t offset, httplib::DataSink &sink) {
            if (offset == 0)
                return sink.write(first.data(), first.size());
            if (held) {
                m_holding = true;
                std::unique_lock l(m_lock);
                m_released.wait(l, [this] { return m_open; });
                m_holding = false;
            }
            sink.write(rest.data(), rest.size());
            sink.done();
            return true;
        });
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_lock;
    std::condition_variable m_released;
    std::vector<int> m_ids{1, 2};
    bool m_holdNext = false;
    bool m_open = true;
    std::atomic<int> m_listQueries{0};
    std::atomic<bool> m_holding{false};
};

// Scripted message boxes, but the real progress dialog.
class WaitingUi : public ScriptedUserInteraction {
public:
    QWidget *parent = nullptr;
    std::unique_ptr<Progress> beginProgress(const QString &title, const QString &label, qint64 maximum) override
    {
        return std::make_unique<QtProgress>(parent, title, label, maximum);
    }
};

QProgressDialog *progressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QProgressDialog *>(w); d && d->isVisible() && d->objectName() == "dlgProgress")
            return d;
    return nullptr;
}

QStringList texts(QListWidget *list)
{
    QStringList t;
    for (int i = 0; i < list->count(); ++i)
        t << list->item(i)->text();
    return t;
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestWaiting : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cancelLeavesTheListAsItWas();
    void noSecondCommandWhileOneRuns();
    void otherCommandsCancel_data();
    void otherCommandsCancel();
    void navigateLoadCancels();
    void openingADoctypeCancels();

private:
    struct Navigate;
    // Runs the Query command; during it, step is called every few milliseconds until it
    // returns true.
    void queryWhile(const std::function<bool()> &step);
    void runWhile(const std::function<void()> &command, const std::function<bool()> &step);
    // Runs command and presses Cancel once the held server's wait shows; label: the
    // dialog's text.
    void cancelWhile(const std::function<void()> &command, QString *label = nullptr);
    void trigger(const char *action);

    std::unique_ptr<owbtest::IsolatedHome> m_home;
    std::unique_ptr<SlowServer> m_server;
    std::unique_ptr<owbtest::Context> m_ctx;
    WaitingUi m_ui;
    std::unique_ptr<frmOstrelClient> m_window;
    QListWidget *m_list = nullptr;
};

void TestWaiting::init()
{
    m_home = std::make_unique<owbtest::IsolatedHome>();
    m_server = std::make_unique<SlowServer>();
    m_ctx = std::make_unique<owbtest::Context>();
    m_ui.shown.clear();
    m_ctx->http.setUserInteraction(&m_ui);
    AppContext app = m_ctx->app();
    app.ui = &m_ui;
    m_window = std::make_unique<frmOstrelClient>(app);
    m_ui.parent = m_window.get();
    m_window->resize(900, 600);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->ParseOstrelURI(m_server->openingURI());
    m_list = m_window->documentList();
    m_window->RunQuery();
    QCOMPARE(texts(m_list), QStringList({"osl:id=1", "osl:id=2"}));
    QVERIFY(m_window->documentEditor()->text().contains("C1"));
}

void TestWaiting::cleanup()
{
    m_server->letGo();
    m_window.reset();
    m_ctx.reset();
    m_server.reset();
    m_home.reset();
}

void TestWaiting::trigger(const char *action)
{
    QAction *a = m_window->findChild<QAction *>(QString::fromLatin1(action));
    QVERIFY(a);
    a->trigger();
}

void TestWaiting::queryWhile(const std::function<bool()> &step)
{
    runWhile([this] { trigger("Query"); }, step);
}

void TestWaiting::runWhile(const std::function<void()> &command, const std::function<bool()> &step)
{
    QTimer ticker;
    bool done = false;
    bool busy = false;
    connect(&ticker, &QTimer::timeout, this, [&] {
        // A step that (wrongly) starts a command of its own waits inside itself.
        if (done || busy)
            return;
        busy = true;
        done = step();
        busy = false;
    });
    ticker.start(10);
    command();
    ticker.stop();
    QVERIFY2(done, "the query ended before the test was through with it");
}

void TestWaiting::cancelWhile(const std::function<void()> &command, QString *label)
{
    runWhile(command, [&] {
        QProgressDialog *dialog = progressDialog();
        if (!m_server->holding() || !dialog)
            return false;
        if (label)
            *label = dialog->labelText();
        QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
        return true;
    });
}

void TestWaiting::cancelLeavesTheListAsItWas()
{
    m_list->setCurrentRow(1);
    m_server->answerWith({7, 8, 9}, true);
    const QString shownText = m_window->documentEditor()->text();
    PaintCounter counter;
    m_list->viewport()->installEventFilter(&counter);
    int paintsAsked = -1;
    bool repainted = false;
    QString label;
    PaintCounter dialogPaints;
    bool watchingDialog = false;

    queryWhile([&] {
        if (!m_server->holding())
            return false;
        if (paintsAsked < 0) {
            paintsAsked = counter.paints;
            m_list->viewport()->update();
        }
        repainted = repainted || counter.paints > paintsAsked;
        QProgressDialog *dialog = progressDialog();
        if (!repainted || !dialog)
            return false;
        label = dialog->labelText();
        if (qEnvironmentVariableIsSet("OWB_SCREENSHOT_SUFFIX")) {
            // The picture is taken once the dialog has painted itself.
            if (!watchingDialog) {
                watchingDialog = true;
                dialog->installEventFilter(&dialogPaints);
                dialog->update();
            }
            if (dialogPaints.paints == 0)
                return false;
            QDir().mkpath(QStringLiteral(OWB_SCREENSHOT_DIR));
            const QRect frame = m_window->frameGeometry().united(dialog->frameGeometry());
            const QPixmap shot = m_window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
            shot.save(QStringLiteral(OWB_SCREENSHOT_DIR "/progress-query") + qEnvironmentVariable("OWB_SCREENSHOT_SUFFIX")
                      + QStringLiteral(".png"));
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
        return true;
    });

    QVERIFY(repainted);
    QVERIFY2(label.startsWith("Running the query"), qPrintable(label));
    QVERIFY2(label.contains("bytes received"), qPrintable(label));
    // The first hit had arrived; it is not shown.
    QCOMPARE(texts(m_list), QStringList({"osl:id=1", "osl:id=2"}));
    QCOMPARE(m_list->currentRow(), 1);
    QCOMPARE(m_window->documentEditor()->text(), shownText);
    QCOMPARE(m_ctx->log.lines.last(), QString("Cancelled by the user"));
    QCOMPARE(m_ctx->main.lastStatus(), QString("Cancelled by the user"));
    QVERIFY(m_ui.messages().isEmpty());
    QTRY_VERIFY(!progressDialog());
}

void TestWaiting::noSecondCommandWhileOneRuns()
{
    m_server->answerWith({7, 8, 9}, true);
    QToolButton *button = nullptr;
    for (QToolButton *b : m_window->findChildren<QToolButton *>())
        if (b->defaultAction() && b->defaultAction()->objectName() == "Query")
            button = b;
    QVERIFY(button);
    auto *filter = m_window->findChild<QLineEdit *>(QStringLiteral("txtQry"));
    QVERIFY(filter);

    int queriesWhileHeld = 0;
    queryWhile([&] {
        if (!m_server->holding())
            return false;
        // A click on Query and a "+" in the filter box each run a query when nothing else
        // runs; a click on the second entry would fetch its document.
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(filter, '+');
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, m_list->visualItemRect(m_list->item(1)).center());
        queriesWhileHeld = m_server->listQueries();
        m_server->letGo();
        return true;
    });
    QCOMPARE(queriesWhileHeld, 2);

    QCOMPARE(texts(m_list), QStringList({"osl:id=7", "osl:id=8", "osl:id=9"}));
    QCOMPARE(m_list->currentRow(), 0);
    QTRY_VERIFY(m_window->documentEditor()->text().contains("C7"));
    QCoreApplication::processEvents();
    QCOMPARE(m_server->listQueries(), 2);
    QCOMPARE(filter->text(), QString());
    QVERIFY(m_ui.messages().isEmpty());
}

void TestWaiting::otherCommandsCancel_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    QTest::newRow("fetch") << "fetch" << "reason:Cancelled by the user";
    QTest::newRow("store") << "store" << "Cancelled by the user";
    QTest::newRow("remove") << "remove" << "Cancelled by the user";
    // Validation fetches the doctype's schema first.
    QTest::newRow("validate") << "validate" << "Cancelled by the user";
}

void TestWaiting::otherCommandsCancel()
{
    QFETCH(QString, command);
    QFETCH(QString, message);
    QsciScintilla *editor = m_window->documentEditor();
    if (command == "store")
        editor->setText("<Order><customer>New</customer></Order>");
    const QString shownText = editor->text();
    m_ui.questionAnswers << true;   // the remove's "Are you sure"
    m_server->answerWith({1, 2}, true);

    cancelWhile(
        [&] {
            if (command == "fetch")
                m_list->setCurrentRow(1);
            else
                trigger(command == "store" ? "Store" : command == "validate" ? "Schema" : "Remove");
        });

    const QStringList shown = m_ui.messages();
    QVERIFY2(!shown.isEmpty() && shown.last().endsWith(message), qPrintable(shown.join('|')));
    // Nothing of the cancelled command is shown: no new entry, no other document, the id kept.
    QCOMPARE(texts(m_list), QStringList({"osl:id=1", "osl:id=2"}));
    QCOMPARE(editor->text(), shownText);
    if (command != "store")
        QVERIFY(m_window->currentElementXml().contains("osl:id=\"1\""));
}

namespace {

QStringList treeTexts(QTreeWidget *tree)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}

} // namespace

// A Navigate window that has loaded the slow server's database once, unhurried.
struct TestWaiting::Navigate {
    owbtest::Context ctx;   // a known connection: no login
    std::unique_ptr<frmNavigate> window;
    QTreeWidget *tree = nullptr;

    Navigate(SlowServer &server, WaitingUi &ui) : ctx(server.databaseURI())
    {
        ctx.http.setUserInteraction(&ui);
        AppContext app = ctx.app();
        app.ui = &ui;
        window = std::make_unique<frmNavigate>(app);
        window->show();
        auto *uris = window->findChild<QComboBox *>(QStringLiteral("cboDatabaseURI"));
        tree = window->findChild<QTreeWidget *>(QStringLiteral("tvDocs"));
        if (!uris || !tree)
            return;
        uris->setEditText(server.databaseURI());
        server.answerWith({}, false);
        window->Load();
    }
};

void TestWaiting::navigateLoadCancels()
{
    Navigate navigate(*m_server, m_ui);
    QVERIFY(navigate.tree);
    QVERIFY2(m_ui.messages().isEmpty(), qPrintable(m_ui.messages().join('|')));
    // The cancelled Load that follows leaves this tree as it is.
    const QStringList loaded = treeTexts(navigate.tree);
    QVERIFY2(loaded.contains("Shop/Order"), qPrintable(loaded.join('|')));

    m_server->answerWith({}, true);
    m_ui.parent = navigate.window.get();
    QString label;
    cancelWhile([&] { navigate.window->Load(); }, &label);
    QVERIFY2(label.startsWith("Fetching " + m_server->databaseURI() + "/osl:collection"), qPrintable(label));
    QCOMPARE(m_ui.messages().value(0), QString("Failed to load osl:collection\r\nCancelled by the user"));
    QCOMPARE(m_ui.messages().size(), 1);
    QCOMPARE(treeTexts(navigate.tree), loaded);
}

// Opening a doctype fetches its schema; cancelled, the window opens without one, as it does
// when the server cannot be reached, and the log says why.
void TestWaiting::openingADoctypeCancels()
{
    Navigate navigate(*m_server, m_ui);
    QVERIFY(navigate.tree);
    const auto found = navigate.tree->findItems(QStringLiteral("Shop/Order"), Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    m_server->answerWith({}, true);
    m_ui.parent = navigate.window.get();
    m_ui.shown.clear();
    QString label;
    cancelWhile([&] { emit navigate.tree->itemClicked(found.first(), 0); }, &label);
    QVERIFY2(label.startsWith("Fetching " + m_server->databaseURI() + "/osl:collection"), qPrintable(label));
    QVERIFY(navigate.window->documentWindow(QStringLiteral("Shop/Order")));
    QVERIFY2(m_ui.messages().value(0).startsWith("Failed to load schema for document type Shop/Order\r\n"),
             qPrintable(m_ui.messages().join('|')));
    QCOMPARE(m_ui.messages().size(), 1);
    bool logged = false;
    for (const QString &line : navigate.ctx.log.lines)
        logged = logged || line.endsWith(HttpClient::CancelledText);
    QVERIFY2(logged, qPrintable(navigate.ctx.log.lines.join('|')));
    navigate.window->documentWindow(QStringLiteral("Shop/Order"))->close();
}

QTEST_MAIN(TestWaiting)
#include "tst_waiting.moc"
