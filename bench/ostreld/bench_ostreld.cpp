// Timings of ostreld over real HTTP, each also given as a multiple of a ping round trip
// measured in the same run, so that numbers from different machines compare.
//
//   bench_ostreld [stores]     (stores: documents stored one request at a time, default 10000)
//
// The server is the real executable, started through the launcher the tests use, with its
// documents loaded from a generated seed folder.
#include <httplib.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fstream>

#include "support/OstreldProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string enc(const std::string &s)
{
    static const char *hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string schema(const std::string &coll)
{
    return "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\"><xs:annotation><xs:appinfo>"
           "<osd:schemaInfo><osd:collection name=\"" + coll + "\"/><osd:doctype name=\"Order\"/></osd:schemaInfo>"
           "</xs:appinfo></xs:annotation></xs:schema>";
}

void writeFile(const std::filesystem::path &p, const std::string &text)
{
    std::ofstream(p, std::ios::binary) << text;
}

std::string order(int i)
{
    return "<Order status=\"" + std::string(i % 3 ? "open" : "shipped") + "\"><number>SO-" + std::to_string(i)
           + "</number><customer ref=\"" + std::to_string(i % 97) + "\">Kunde " + std::to_string(i)
           + " Müller</customer><lines><line no=\"1\"><qty>" + std::to_string(i % 12 + 1)
           + "</qty><price>12.50</price></line></lines><total>" + std::to_string(i % 1000) + "</total></Order>";
}

// Seed folder entries: the schema of coll and `count` orders, numbered from 1.
void seedCollection(const std::filesystem::path &seed, const std::string &coll, int count)
{
    namespace fs = std::filesystem;
    fs::create_directories(seed / "schemas");
    writeFile(seed / "schemas" / (coll + ".xsd"), schema(coll));
    const fs::path dir = seed / "collections" / coll;
    fs::create_directories(dir);
    char name[32];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(name, sizeof name, "%07d.xml", i);
        writeFile(dir / name, order(i));
    }
}

// Mean seconds per fetch of a random id among 1..count.
double fetchById(httplib::Client &cli, const std::string &coll, int count, int rounds)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pick(1, count);
    auto t = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::string path = "/ostrel/mydb/" + coll + "?_xql=" + enc("Order[@osl:id=" + std::to_string(pick(rng)) + "]");
        auto r = cli.Get(path.c_str());
        if (!r || r->status != 200 || r->body.find("<Order ") == std::string::npos) {
            std::fprintf(stderr, "fetch failed\n");
            std::exit(1);
        }
    }
    return seconds(t) / rounds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int stores = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    const std::filesystem::path seed = (dir.path() + "/seed").toStdString();
    int rc = 0;
    {
        auto t = Clock::now();
        seedCollection(seed, "Small", 1000);
        seedCollection(seed, "Ids", 100000);
        seedCollection(seed, "Filter", 10000);
        seedCollection(seed, "Stores", 0);
        std::printf("(seed folder of 111,000 documents written in %.1f s)\n", seconds(t));

        owbtest::OstreldOptions options;
        options.seedDir = QString::fromStdString(seed.string());
        options.users = "b:b";
        options.dataFile = dir.filePath("bench.sqlite");
        if (options.executable.isEmpty()) options.executable = OSTRELD_EXE;
        t = Clock::now();
        owbtest::OstreldProcess server(options);
        if (!server.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(server.error()));
            return 1;
        }
        std::printf("(start-up with the seed loaded: %.1f s)\n", seconds(t));

        httplib::Client cli("127.0.0.1", server.port());
        cli.set_basic_auth("b", "b");
        cli.set_url_encode(false);
        cli.set_read_timeout(60, 0);
        const char *form = "application/x-www-form-urlencoded; charset=iso-8859-1";

        // Baseline: the cheapest authenticated round trip.
        const int pings = 500;
        t = Clock::now();
        for (int i = 0; i < pings; ++i) cli.Get("/ostrel/mydb?_diagnose=ping");
        const double ping = seconds(t) / pings;
        std::printf("baseline: ping round trip %.1f us\n", ping * 1e6);

        // Fetch by id: 1,000 against 100,000 documents of one doctype. The two are measured in
        // alternating rounds and compared by their medians, so load from elsewhere hits both alike.
        fetchById(cli, "Small", 1000, 200); // warm-up: connection, compiled patterns, page cache
        fetchById(cli, "Ids", 100000, 200);
        std::vector<double> smallRounds, largeRounds;
        for (int round = 0; round < 10; ++round) {
            smallRounds.push_back(fetchById(cli, "Small", 1000, 100));
            largeRounds.push_back(fetchById(cli, "Ids", 100000, 100));
        }
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
        };
        const double small = median(smallRounds), large = median(largeRounds);
        std::printf("fetch by id, 1,000 documents:   %.1f us  (%.2f x ping)\n", small * 1e6, small / ping);
        std::printf("fetch by id, 100,000 documents: %.1f us  (%.2f x ping)\n", large * 1e6, large / ping);
        std::printf("fetch by id ratio 100,000 / 1,000: %.2f\n", large / small);

        // Filtered query over 10,000 documents: the first run builds the collection's snapshot.
        const std::string q = "/ostrel/mydb/Filter?_xql=" + enc("Order[total>990 and lines/line/qty>6]");
        t = Clock::now();
        auto first = cli.Get(q.c_str());
        const double cold = seconds(t);
        const int runs = 10;
        t = Clock::now();
        for (int i = 0; i < runs; ++i) cli.Get(q.c_str());
        const double warm = seconds(t) / runs;
        std::printf("filtered query over 10,000 documents: first %.1f ms, then %.1f ms (%.0f x ping), %.0f documents/s\n",
                    cold * 1e3, warm * 1e3, warm / ping, 10000 / warm);
        if (!first || first->body.find("<xql:result>") == std::string::npos) rc = 1;

        // Stores, one request (and one durable commit) each.
        t = Clock::now();
        for (int i = 0; i < stores; ++i) {
            auto r = cli.Post("/ostrel/mydb/Stores", "_process=" + enc(order(i)), form);
            if (!r || r->body.find("osl:returnvalue=\"0\"") == std::string::npos) {
                std::fprintf(stderr, "store %d failed\n", i);
                rc = 1;
                break;
            }
        }
        const double store = seconds(t);
        std::printf("store %d documents one request at a time: %.1f s, %.0f documents/s (%.1f x ping each)\n", stores,
                    store, stores / store, store / stores / ping);
    }
    return rc;
}
