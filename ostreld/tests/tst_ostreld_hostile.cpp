// ostreld against careless and hostile clients: big and endless bodies, expensive queries,
// slow and idle connections, termination signals.
#include "Fixtures.h"
#include "OstreldHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <future>
#include <thread>

using namespace harness;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kExpensive = "//*[count(ancestor::*/descendant::*/following::*)>0]";

// A plain TCP connection, for what an HTTP client library would not send.
class Raw {
public:
    explicit Raw(int port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~Raw()
    {
        if (m_fd >= 0) close(m_fd);
    }
    Raw(const Raw &) = delete;
    Raw &operator=(const Raw &) = delete;

    bool connected() const { return m_fd >= 0; }
    bool send(const std::string &bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }
    bool readable(int ms)
    {
        pollfd p{m_fd, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }
    // Reads what has arrived, waiting up to ms for the first byte; empty at the end of the stream.
    std::string take(int ms)
    {
        std::string out;
        char buf[65536];
        while (readable(out.empty() ? ms : 50)) {
            ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                m_ended = true;
                break;
            }
            out.append(buf, size_t(n));
        }
        return out;
    }
    // True once the server has closed the connection (within ms).
    bool closedByServer(int ms)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (!m_ended && Clock::now() < until) take(100);
        return m_ended;
    }

private:
    int m_fd = -1;
    bool m_ended = false;
};

std::string chunk(const std::string &data)
{
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
}

std::string authHeader()
{
    return "Authorization: Basic " + QByteArray("u:p").toBase64().toStdString() + "\r\n";
}

// CPU seconds the process has used so far.
double cpuSeconds(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// Waits until the server has burnt `seconds` of CPU since `from`: the expensive query is running.
bool busyFor(qint64 pid, double from, double seconds)
{
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < until) {
        if (cpuSeconds(pid) - from >= seconds) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Runs one probe; ok stays true only while every probe succeeds.
void probe(const std::function<bool()> &request, bool &ok)
{
    ok = request() && ok;
}

} // namespace

class TstOstreldHostile : public QObject {
    Q_OBJECT

    std::string storeForm(const std::string &xml) { return "_process=" + enc(xml); }

private slots:
    void bodiesRefusedBeforeTheyAreRead_data()
    {
        QTest::addColumn<QString>("headers");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");
        const QString length = "Content-Length: 300000000\r\n";
        QTest::newRow("write without credentials") << length << 401 << "OSL8601";
        QTest::newRow("wrong password") << length + "Authorization: Basic dTp4\r\n" << 401 << "OSL8601";
        QTest::newRow("declared length over the limit") << length + QString::fromStdString(authHeader()) << 413 << "OSL8501";
    }
    // The head alone is sent: a server that waited for the body would never answer.
    void bodiesRefusedBeforeTheyAreRead()
    {
        QFETCH(QString, headers);
        QFETCH(int, status);
        QFETCH(QString, code);
        Server s({"--max-body", "100000"});
        QVERIFY2(s.ok(), qPrintable(s.error()));
        Raw c(s.port());
        QVERIFY(c.connected());
        QVERIFY(c.send("POST /ostrel/mydb/Sales HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                       + headers.toStdString() + "\r\n_process=%3C"));
        const QString answer = QString::fromStdString(c.take(20000));
        QVERIFY2(answer.startsWith(QString("HTTP/1.1 %1 ").arg(status)), qPrintable(answer.left(200)));
        QVERIFY(answer.contains(code));
        if (status == 413) QVERIFY(answer.contains("limit of 100000 bytes"));
    }

    void chunkedBodies()
    {
        Server s({"--max-body", "200000"});
        QVERIFY2(s.ok(), qPrintable(s.error()));
        auto cli = s.client();
        QCOMPARE(Answer(cli->Post("/ostrel/mydb/osl:collection", basic(), storeForm(fixtures::salesSchema()), kForm)->body)
                     .returnValue(),
                 "0");
        const std::string head = "POST /ostrel/mydb/Sales HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\n" + authHeader() + "\r\n";

        // Within the limit a chunked body is stored like any other.
        const std::string form = storeForm("<Order><t>" + std::string(150000, 'x') + "</t></Order>");
        Raw ok(s.port());
        std::string body;
        for (size_t i = 0; i < form.size(); i += 7000) body += chunk(form.substr(i, 7000));
        QVERIFY(ok.send(head + body + "0\r\n\r\n"));
        const std::string stored = ok.take(20000);
        QVERIFY2(stored.find("returnvalue=\"0\"") != std::string::npos, stored.substr(0, 300).c_str());

        // Over it, reading stops at the limit: the answer comes while the client is still sending.
        Raw big(s.port());
        QVERIFY(big.send(head));
        const std::string piece = chunk(std::string(65536, 'x'));
        size_t sent = 0;
        std::string answer;
        while (sent < 300u << 20) {
            if (big.readable(0)) {
                answer = big.take(1000);
                break;
            }
            if (!big.send(piece)) {
                answer = big.take(5000);
                break;
            }
            sent += piece.size();
        }
        QVERIFY2(answer.rfind("HTTP/1.1 413 ", 0) == 0, answer.substr(0, 200).c_str());
        QVERIFY(answer.find("limit of 200000 bytes") != std::string::npos);
        QVERIFY2(sent < 100u << 20, qPrintable(QString::number(sent)));
        QCOMPARE(Answer(cli->Get(("/ostrel/mydb/Sales?_xql=" + enc("Order")).c_str())->body).ids(), QStringList{"1"});
    }

    void expensiveQueryBlocksNobody()
    {
        Server s({"--seed", qEnvironmentVariable("OSTRELD_DEMO"), "--query-limit", "6"});
        QVERIFY2(s.ok(), qPrintable(s.error()));
        const qint64 pid = s.process().pid();
        const double cpuBefore = cpuSeconds(pid);
        auto expensive = std::async(std::launch::async, [&] {
            auto cli = s.client();
            auto r = cli->Get(("/ostrel/mydb/Sales?_xql=" + enc(kExpensive)).c_str());
            return r ? r->body : std::string("no answer");
        });
        QVERIFY(busyFor(pid, cpuBefore, 0.3));

        auto cli = s.client();
        bool ok = true;
        int rounds = 0;
        while (expensive.wait_for(std::chrono::seconds(0)) != std::future_status::ready && rounds < 10) {
            probe([&] {
                auto r = cli->Get("/ostrel/mydb?_diagnose=ping", basic());
                return r && r->body.find("is alive") != std::string::npos;
            }, ok);
            probe([&] {
                auto r = cli->Get(("/ostrel/mydb/Sales?_xql=" + enc("Order[@osl:id=7]")).c_str());
                return r && Answer(r->body).ids() == QStringList{"7"};
            }, ok);
            probe([&] {
                auto r = cli->Post("/ostrel/mydb/Sales", basic(), storeForm("<Customer><name>probe</name></Customer>"), kForm);
                return r && Answer(r->body).returnValue() == "0";
            }, ok);
            ++rounds;
        }
        const bool overlapped = expensive.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
        QVERIFY(ok);
        // Rounds answered while the query still ran: a server it blocked would have answered them
        // only after it, no matter how fast the machine.
        QVERIFY2(overlapped && rounds >= 3, "the expensive query ended before the probes");

        QCOMPARE(expensive.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        Answer limited(expensive.get());
        QCOMPARE(limited.value("/osl:response/osl:message/osl:messagetext/@osl:code"), "OSL8304");
        QVERIFY2(limited.messageText().contains("query limit of 6 s"), qPrintable(limited.messageText()));
        QCOMPARE(limited.value("count(//xql:result)"), "0");
    }

    void clientThatLeavesEndsItsQuery()
    {
        Server s({"--seed", qEnvironmentVariable("OSTRELD_DEMO"), "--query-limit", "600"});
        QVERIFY2(s.ok(), qPrintable(s.error()));
        const qint64 pid = s.process().pid();
        {
            Raw c(s.port());
            QVERIFY(c.send("GET /ostrel/mydb/Sales?_xql=" + enc(kExpensive) + " HTTP/1.1\r\nHost: x\r\n\r\n"));
            QVERIFY(busyFor(pid, cpuSeconds(pid), 0.3));
        }
        // Gone client: the server falls idle long before its ten-minute limit.
        bool idle = false;
        for (int i = 0; i < 40 && !idle; ++i) {
            const double before = cpuSeconds(pid);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            idle = cpuSeconds(pid) - before < 0.1;
        }
        QVERIFY(idle);
        QVERIFY(s.client()->Get("/ostrel/mydb?_diagnose=ping", basic()));
    }

    void slowClientsStarveNobody()
    {
        Server s;
        QVERIFY2(s.ok(), qPrintable(s.error()));
        std::vector<std::unique_ptr<Raw>> slow;
        for (int i = 0; i < 8; ++i) {
            slow.push_back(std::make_unique<Raw>(s.port()));
            QVERIFY(slow.back()->connected());
            QVERIFY(slow.back()->send("GET /ostrel/mydb?_diagnose=ping HTTP/1.1\r\nHost: x\r\nX-Slow: "));
        }
        std::atomic<bool> done{false};
        std::thread trickle([&] {
            while (!done) {
                for (auto &c : slow) c->send("a");
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        bool ok = true;
        for (int i = 0; i < 5; ++i) {
            auto cli = s.client(); // a fresh connection each time
            probe([&] {
                auto r = cli->Get("/ostrel/mydb?_diagnose=ping", basic());
                return r && r->body.find("is alive") != std::string::npos;
            }, ok);
        }
        bool slowStillThere = true;
        for (auto &c : slow) slowStillThere = slowStillThere && !c->readable(0);
        done = true;
        trickle.join();
        QVERIFY(ok);
        // A starved ping would have waited until the slow clients were dropped (or given up).
        QVERIFY2(slowStillThere, "the slow clients were dropped before the pings were done");
    }

    void deadlinesCloseConnections_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<bool>("trickle");
        QTest::newRow("silent after connecting") << QStringList{"--idle-timeout", "1"} << "" << false;
        QTest::newRow("request line never ends") << QStringList{"--idle-timeout", "1"} << "GET /ostrel/my" << true;
        QTest::newRow("headers never end") << QStringList{"--header-timeout", "1"} << "GET /ostrel/mydb HTTP/1.1\r\nX: " << true;
        QTest::newRow("idle after an answer")
            << QStringList{"--idle-timeout", "1"}
            << "GET /ostrel/mydb?_diagnose=ping HTTP/1.1\r\nHost: x\r\n" + QString::fromStdString(authHeader()) + "\r\n"
            << false;
    }
    void deadlinesCloseConnections()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, sent);
        QFETCH(bool, trickle);
        Server s(options);
        QVERIFY2(s.ok(), qPrintable(s.error()));
        Raw c(s.port());
        QVERIFY(c.connected());
        QVERIFY(c.send(sent.toStdString()));
        // Well past the one-second deadline, and far below the defaults of 10 and 15 s.
        const auto until = Clock::now() + std::chrono::seconds(8);
        bool closed = false;
        while (!closed && Clock::now() < until) {
            if (trickle) c.send("a");
            closed = c.closedByServer(200);
        }
        QVERIFY(closed);
    }

    void connectionsBounded_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("per address") << "--max-connections-per-address";
        QTest::newRow("in all") << "--max-connections";
    }
    void connectionsBounded()
    {
        QFETCH(QString, option);
        Server s({option, "3"});
        QVERIFY2(s.ok(), qPrintable(s.error()));
        std::vector<std::unique_ptr<Raw>> held;
        for (int i = 0; i < 3; ++i) {
            held.push_back(std::make_unique<Raw>(s.port()));
            QVERIFY(held.back()->send("GET /ostrel/mydb HTTP/1.1\r\n"));
        }
        Raw extra(s.port());
        QVERIFY(extra.closedByServer(10000));
        held.pop_back();
        // The freed place is taken again.
        bool answered = false;
        for (int i = 0; i < 50 && !answered; ++i) {
            auto r = s.client()->Get("/ostrel/mydb?_diagnose=ping", basic());
            answered = r && r->status == 200;
            if (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        QVERIFY(answered);
    }

    void terminationDuringAnExpensiveQuery()
    {
        QTemporaryDir dir;
        Server s({"--seed", qEnvironmentVariable("OSTRELD_DEMO"), "--query-limit", "600"}, dir.filePath("t.sqlite"));
        QVERIFY2(s.ok(), qPrintable(s.error()));
        auto cli = s.client();
        auto stored = cli->Post("/ostrel/mydb/Sales", basic(), storeForm("<Customer><name>kept</name></Customer>"), kForm);
        QVERIFY(stored);
        const QString id = Answer(stored->body).storedId();
        QVERIFY(!id.isEmpty());

        const qint64 pid = s.process().pid();
        const double cpuBefore = cpuSeconds(pid);
        Raw c(s.port());
        QVERIFY(c.send("GET /ostrel/mydb/Sales?_xql=" + enc(kExpensive) + " HTTP/1.1\r\nHost: x\r\n\r\n"));
        QVERIFY(busyFor(pid, cpuBefore, 0.3));
        s.process().signal(SIGTERM);
        QVERIFY(s.process().waitForExit(2000));

        QVERIFY(s.process().restart());
        auto again = s.client();
        QCOMPARE(Answer(again->Get(("/ostrel/mydb/Sales?_xql=" + enc("Customer[name='kept']")).c_str())->body).ids(),
                 QStringList{id});
    }
};

QTEST_GUILESS_MAIN(TstOstreldHostile)
#include "tst_ostreld_hostile.moc"
