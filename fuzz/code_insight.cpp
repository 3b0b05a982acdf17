// The stylesheet editor's data files (CodeInsight.dat and the word lists) from any bytes,
// read from disk through the file handler as the editor reads them.
#include <QFile>
#include <QString>

#include <cstdint>

#include "FuzzCheck.h"
#include "common/OstrelError.h"
#include "xml/clsCodeInsight.h"
#include "xml/clsFileHandler.h"

using namespace owb;

namespace {
QString dataFile;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    dataFile = QString::fromStdString((fuzzcheck::scratchDir("code_insight") / "CodeInsight.dat").string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile file(dataFile);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }
    const clsFileHandler files;
    QString text;
    try {
        text = files.LoadFile(dataFile);
    } catch (const OstrelError &e) {
        FUZZ_CHECK(!e.description().isEmpty());
        return 0;
    }

    try {
        const clsCodeInsight insight(files, dataFile);
        // Every element named in the file is in the table, with its attributes in order.
        for (QString line : text.split(QStringLiteral("\r\n"))) {
            while (line.startsWith(u' ') || line.startsWith(u'\t')) line.remove(0, 1);
            while (line.endsWith(u' ') || line.endsWith(u'\t')) line.chop(1);
            const qsizetype caret = line.indexOf(u'^');
            if (line.isEmpty() || line.startsWith(u'*') || caret < 0) continue;
            const auto attributes = insight.GetAttributes(line.left(caret));
            FUZZ_CHECK(attributes && !attributes->isEmpty());
        }
        FUZZ_CHECK(insight.count() <= text.count(u'^'));
    } catch (const OstrelError &e) {
        FUZZ_CHECK(e.description().startsWith(dataFile + QStringLiteral(", line ")));
    }

    const QStringList words = clsCodeInsight::ReadWordList(files, dataFile);
    for (const QString &word : words) FUZZ_CHECK(!word.isEmpty() && word == word.trimmed() && !word.contains(u'|'));
    return 0;
}
