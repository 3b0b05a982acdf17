#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "HttpFrontend.h"
#include "Options.h"
#include "Repository.h"

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

    // Termination signals are taken by one thread that stops the server cleanly.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        std::filesystem::path data(opts->dataFile);
        if (data.has_parent_path()) std::filesystem::create_directories(data.parent_path());
        ostreld::Repository repo(opts->dataFile, opts->databases);
        if (!opts->seedDir.empty()) {
            for (const auto &db : opts->databases) {
                size_t n = repo.seed(db, opts->seedDir);
                if (n) std::cout << "seeded " << db << " with " << n << " documents from " << opts->seedDir << "\n";
            }
        }

        httplib::Server server;
        ostreld::HttpFrontend frontend(repo, opts->users, opts->maxBody);
        frontend.install(server);

        int port = opts->port;
        if (port == 0) {
            port = server.bind_to_any_port(opts->bind);
            if (port < 0) throw std::runtime_error("cannot bind to " + opts->bind);
        } else if (!server.bind_to_port(opts->bind, port)) {
            throw std::runtime_error("cannot listen on " + opts->bind + ":" + std::to_string(port));
        }
        std::cout << "ostreld listening on port " << port << "\n";
        for (const auto &db : opts->databases)
            std::cout << "database http://" << opts->bind << ":" << port << "/ostrel/" << db << "\n";
        std::cout.flush();

        std::thread stopper([&server, signals] {
            int sig = 0;
            sigwait(&signals, &sig);
            server.stop();
        });
        stopper.detach();
        server.listen_after_bind();
    } catch (const std::exception &e) {
        std::cerr << "ostreld: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
