// The log's stored sequence number, the file name proposed from it, and a saved log read
// back, from any bytes (a settings file or a log edited by hand).
#include <QByteArray>
#include <QString>

#include <climits>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "log/LogFormat.h"

using namespace owb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString stored = QString::fromUtf8(bytes);

    const auto seq = LogFormat::parseSequence(stored);
    if (seq) FUZZ_CHECK(*seq >= 1 && *seq <= LogFormat::MaxSequence);
    const int sequence = seq.value_or(1);
    const int next = LogFormat::nextSequence(sequence);
    FUZZ_CHECK(next == (sequence == LogFormat::MaxSequence ? 1 : sequence + 1));

    // Any number at all, as a corrupted counter may hold.
    int raw = 0;
    std::memcpy(&raw, data, std::min(size, sizeof raw));
    const int after = LogFormat::nextSequence(raw);
    FUZZ_CHECK(after >= 1 && after <= LogFormat::MaxSequence);

    const QString name = LogFormat::proposedFileName(stored, sequence);
    FUZZ_CHECK(name.startsWith(stored) && name.endsWith(QStringLiteral("/owblog_") + QString::number(sequence) + ".log"));

    const QString text = LogFormat::decodeLogFile(bytes);
    FUZZ_CHECK(text.size() <= bytes.size());
    // UTF-8 (a byte order mark at the start is dropped), or else every byte as Latin-1.
    FUZZ_CHECK(text.toUtf8() == bytes || "\xEF\xBB\xBF" + text.toUtf8() == bytes || text == QString::fromLatin1(bytes));
    const QString shown = LogFormat::toDisplay(text);
    FUZZ_CHECK(!shown.contains(u'\r') && shown.count(u'\n') <= text.count(u'\n') + text.count(u'\r'));
    return 0;
}
