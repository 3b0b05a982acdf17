// Appending to the log must not get slower as the log grows: compares the time per 1000
// appends on a short log with the time on a log of 100,000 entries, window shown.
#include "log/frmLog.h"
#include "support/ScriptedUserInteraction.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

namespace {

double msPer1000(owb::frmLog &log, int batches)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < batches * 1000; ++i)
        log.Log(QStringLiteral("Document 4711 of doctype Order has been stored (entry %1)").arg(i));
    QCoreApplication::processEvents();
    return double(t.nsecsElapsed()) / 1e6 / batches;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir tmp;
    qputenv("OSTREL_WORKBENCH_HOME", tmp.path().toLocal8Bit());
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tmp.path());

    owb::ScriptedUserInteraction ui;
    owb::frmLog log(nullptr, &ui);
    log.resize(800, 600);
    log.show();
    QCoreApplication::processEvents();

    msPer1000(log, 1);                       // warm-up: the log now holds 1,000 entries
    const double small = msPer1000(log, 3);  // measured at 1k..4k entries
    while (log.logText().count(QLatin1Char('\n')) < 100'000)
        msPer1000(log, 10);
    const double large = msPer1000(log, 3);  // measured at 100k..103k entries

    const double ratio = large / small;
    std::printf("log append: %.2f ms per 1000 entries at 1k, %.2f ms at 100k, ratio %.2f\n",
                small, large, ratio);
    // A whole-text rewrite per entry would make this ratio about 100.
    if (ratio > 5.0) {
        std::printf("FAIL: appending slows down with the log's length\n");
        return 1;
    }
    return 0;
}
