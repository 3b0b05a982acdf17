// A document window waiting for a slow server: it keeps painting, the progress dialog comes
// up, Cancel ends the query with the list as it was, and no second command starts meanwhile.
// The server is real HTTP on 127.0.0.1; it sends the first hit at once and holds the rest of
// the answer until the test lets it go.
#include "common/HttpClient.h"
#include "shell/QtProgress.h"
#include "support/TestContext.h"
#include "workbench/frmOstrelClient.h"

#include <httplib.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

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
    QString openingURI() const { return QStringLiteral("http://127.0.0.1:%1/db/Shop?_xql=Order").arg(m_port); }

    // The list queries answer these ids from now on; held: the next one sends only its first
    // hit until letGo.
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
        if (std::regex_search(xql, m, std::regex("@osl:id=(\\d+)"))) {
            res.set_content(kHead + hit(std::stoi(m[1])) + kTail, "text/xml");
            return;
        }
        ++m_listQueries;
        std::vector<int> ids;
        bool held = false;
        {
            std::lock_guard l(m_lock);
            ids = m_ids;
            held = m_holdNext;
            m_holdNext = false;
        }
        std::string rest;
        for (size_t i = 1; i < ids.size(); ++i)
            rest += hit(ids[i]);
        rest += kTail;
        const std::string first = kHead + (ids.empty() ? std::string() : hit(ids.front()));
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

private:
    // Runs the Query command; during it, step is called every few milliseconds until it
    // returns true.
    void queryWhile(const std::function<bool()> &step);

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

void TestWaiting::queryWhile(const std::function<bool()> &step)
{
    QAction *query = m_window->findChild<QAction *>(QStringLiteral("Query"));
    QVERIFY(query);
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
    query->trigger();
    ticker.stop();
    QVERIFY2(done, "the query ended before the test was through with it");
}

void TestWaiting::cancelLeavesTheListAsItWas()
{
    m_server->answerWith({7, 8, 9}, true);
    m_list->setCurrentRow(1);
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

QTEST_MAIN(TestWaiting)
#include "tst_waiting.moc"
