// The failure-envelope reader on any answer that loads: a failure it reports has a code or a
// text, and what it describes holds both.
#include <QByteArray>

#include <cstdint>

#include "FuzzCheck.h"
#include "server/ServerAnswer.h"

using namespace owb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ServerAnswer answer;
    if (!answer.load(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)))) {
        FUZZ_CHECK(answer.parseError().errorCode != 0 && !answer.parseError().reason.isEmpty());
        return 0;
    }
    if (const auto &failure = answer.failure()) {
        FUZZ_CHECK(failure->text == failure->text.trimmed());
        const QString said = failure->describe();
        FUZZ_CHECK(said.contains(failure->code) && said.contains(failure->text));
    }
    return 0;
}
