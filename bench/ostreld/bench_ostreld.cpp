// Timings of ostreld over real HTTP, each also given as a multiple of a ping round trip
// measured in the same run, so that numbers from different machines compare.
//
//   bench_ostreld [stores]     (stores: documents stored one request at a time, default 10000)
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "HttpFrontend.h"
#include "Repository.h"

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

std::string order(int i)
{
    return "<Order status=\"" + std::string(i % 3 ? "open" : "shipped") + "\"><number>SO-" + std::to_string(i)
           + "</number><customer ref=\"" + std::to_string(i % 97) + "\">Kunde " + std::to_string(i)
           + " Müller</customer><lines><line no=\"1\"><qty>" + std::to_string(i % 12 + 1)
           + "</qty><price>12.50</price></line></lines><total>" + std::to_string(i % 1000) + "</total></Order>";
}

void bulk(ostreld::Repository &repo, const std::string &coll, int from, int to)
{
    std::vector<std::string> texts;
    for (int i = from; i < to; ++i) {
        texts.push_back(order(i));
        if (texts.size() == 5000 || i + 1 == to) {
            repo.storeMany("mydb", coll, texts);
            texts.clear();
        }
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
    const int stores = argc > 1 ? std::atoi(argv[1]) : 10000;
    const auto dir = std::filesystem::temp_directory_path() / ("ostreld-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    int rc = 0;
    {
        ostreld::Repository repo((dir / "bench.sqlite").string(), {"mydb"});
        httplib::Server server;
        ostreld::HttpFrontend frontend(repo, {{"b", "b"}}, size_t(64) << 20);
        frontend.install(server);
        const int port = server.bind_to_any_port("127.0.0.1");
        std::thread listener([&] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

        httplib::Client cli("127.0.0.1", port);
        cli.set_basic_auth("b", "b");
        cli.set_url_encode(false);
        cli.set_read_timeout(60, 0);
        const char *form = "application/x-www-form-urlencoded; charset=iso-8859-1";
        for (const char *coll : {"Small", "Ids", "Filter", "Stores"})
            cli.Post("/ostrel/mydb/osl:collection", "_process=" + enc(schema(coll)), form);

        // Baseline: the cheapest authenticated round trip.
        const int pings = 500;
        auto t = Clock::now();
        for (int i = 0; i < pings; ++i) cli.Get("/ostrel/mydb?_diagnose=ping");
        const double ping = seconds(t) / pings;
        std::printf("baseline: ping round trip %.1f us\n", ping * 1e6);

        // Fetch by id: 1,000 against 100,000 documents of one doctype. The two are measured in
        // alternating rounds and compared by their medians, so load from elsewhere hits both alike.
        bulk(repo, "Small", 1, 1001);
        t = Clock::now();
        bulk(repo, "Ids", 1, 100001);
        std::printf("(bulk load of 100,000 documents: %.1f s)\n", seconds(t));
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

        // Filtered query over 10,000 documents: first run builds the collection's tree.
        bulk(repo, "Filter", 1, 10001);
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

        server.stop();
        listener.join();
    }
    std::filesystem::remove_all(dir);
    return rc;
}
