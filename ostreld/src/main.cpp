#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "HttpServer.h"
#include "Options.h"
#include "Repository.h"
#include "Router.h"
#include "Tls.h"

namespace {
// After the first signal the server has this long to stop cleanly; a second signal ends it at once.
constexpr long kStopMillis = 1500;

void hardStopOnSecondSignalOrLateness(const sigset_t &signals, const std::atomic<bool> &stopped)
{
    std::thread([signals, &stopped] {
        timespec wait{kStopMillis / 1000, (kStopMillis % 1000) * 1000000};
        int sig = sigtimedwait(&signals, nullptr, &wait);
        if (stopped) return;
        // Every acknowledged write is committed already: nothing is lost by leaving now.
        const char *why = sig > 0 ? "ostreld: second signal, stopping at once\n" : "ostreld: stopping took too long, leaving now\n";
        ssize_t ignored = write(2, why, std::char_traits<char>::length(why));
        (void)ignored;
        _exit(0);
    }).detach();
}
} // namespace

int main(int argc, char **argv)
{
    std::string error;
    auto opts = ostreld::parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!opts) {
        std::cerr << "ostreld: " << error << "\n" << ostreld::usage();
        return 2;
    }
    if (opts->help) {
        std::cout << ostreld::usage();
        return 0;
    }

    // Termination signals are taken by the main thread, never by a worker.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::atomic<bool> stopped{false};
    try {
        // A certificate or key that cannot serve stops the start before anything else happens.
        std::optional<ostreld::TlsMaterial> tls;
        if (!opts->tlsCert.empty()) {
            tls = ostreld::loadTlsMaterial(opts->tlsCert, opts->tlsKey);
            const std::string warning = ostreld::tlsValidityWarning(*tls, opts->tlsCert);
            if (!warning.empty()) std::cerr << "ostreld: warning: " << warning << "\n";
        }
        std::filesystem::path data(opts->dataFile);
        if (data.has_parent_path()) std::filesystem::create_directories(data.parent_path());
        ostreld::Repository repo(opts->dataFile, opts->databases, opts->queryLimit);
        if (!opts->seedDir.empty()) {
            for (const auto &db : opts->databases) {
                size_t n = repo.seed(db, opts->seedDir);
                if (n) std::cout << "seeded " << db << " with " << n << " documents from " << opts->seedDir << "\n";
            }
        }

        ostreld::Router router(repo, opts->users, opts->maxBody);
        ostreld::HttpServer server(router, ostreld::ConnectionLimits{opts->idleTimeout, opts->headerTimeout,
                                                                     opts->maxConnections, opts->maxPerAddress});
        const int port = server.start(opts->bind, opts->port, tls ? &*tls : nullptr);
        std::cout << "ostreld listening on port " << port << (tls ? " (HTTPS)" : "") << "\n";
        const std::string host = opts->bind.find(':') != std::string::npos ? "[" + opts->bind + "]" : opts->bind;
        for (const auto &db : opts->databases)
            std::cout << "database " << (tls ? "https" : "http") << "://" << host << ":" << port << "/ostrel/" << db << "\n";
        std::cout.flush();

        int sig = 0;
        sigwait(&signals, &sig);
        hardStopOnSecondSignalOrLateness(signals, stopped);
        repo.stopQueries();
        server.stop();
        stopped = true;
    } catch (const std::exception &e) {
        std::cerr << "ostreld: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
