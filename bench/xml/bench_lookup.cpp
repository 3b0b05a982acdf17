// Listing query hits: the streaming reader against a bare libxml2 SAX parse of the same
// answer from memory, and the reader's peak memory for growing answers.
//
//   bench_lookup                  the whole report
//   bench_lookup --child N BYTES  one memory run: N hits of about BYTES each, generated on the
//                                 fly and fed piecewise; prints the peak RSS in kB
#include "xml/MemoryDocumentList.h"
#include "server/LookUp.h"

#include <libxml/parser.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace owb;

namespace {

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
    "xmlns:xql=\"http://namespaces.ostrel.org/xql\">\n<xql:query>Order</xql:query>\n<xql:result>\n";
const char kTail[] =
    "</xql:result>\n<osl:message osl:returnvalue=\"0\"><osl:messageline>done</osl:messageline>"
    "</osl:message>\n</osl:response>\n";

// One result document of roughly `size` bytes with some structure inside.
QByteArray document(int id, int size)
{
    QByteArray d = "<Order osl:id=\"" + QByteArray::number(id) + "\"><customer no=\""
                   + QByteArray::number(id % 977) + "\">Customer &amp; Sons</customer>";
    int item = 0;
    while (d.size() < size - 40)
        d += "<item no=\"" + QByteArray::number(++item) + "\"><price>12.50</price></item>";
    d += "<total>" + QByteArray::number(id * 3) + "</total></Order>\n";
    return d;
}

QByteArray answer(int hits, int size)
{
    QByteArray a = kHead;
    a.reserve(qsizetype(hits) * size + 1024);
    for (int i = 1; i <= hits; ++i)
        a += document(i, size);
    return a + kTail;
}

// Keeps nothing: isolates the reader's own memory from the list's.
class CountingList : public IDocumentList {
public:
    int n = 0;
    int count() const override { return n; }
    void clear() override { n = 0; }
    void addEntry(const QString &, qint32) override { ++n; }
    QString text(int) const override { return {}; }
    qint32 itemData(int) const override { return 0; }
    void setItemData(int, qint32) override {}
    int currentIndex() const override { return -1; }
    void setCurrentIndex(int) override {}
    void removeAt(int) override {}
};

long peakRssKb()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kb = std::atol(line + 6);
    }
    std::fclose(f);
    return kb;
}

int floorElements = 0;
void floorStart(void *, const xmlChar *, const xmlChar *, const xmlChar *, int, const xmlChar **,
                int, int, const xmlChar **)
{
    ++floorElements;
}
void floorEnd(void *, const xmlChar *, const xmlChar *, const xmlChar *) {}

double floorParseMs(const QByteArray &a)
{
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &floorStart;
    sax.endElementNs = &floorEnd;
    QElapsedTimer t;
    t.start();
    floorElements = 0;
    if (xmlSAXUserParseMemory(&sax, nullptr, a.constData(), int(a.size())) != 0)
        std::fprintf(stderr, "floor parse failed\n");
    return double(t.nsecsElapsed()) / 1e6;
}

double lookUpMs(const QByteArray &a, IDocumentList &list, size_t piece)
{
    LookUp reader;
    reader.setDocumentList(&list);
    QElapsedTimer t;
    t.start();
    reader.begin();
    for (qsizetype at = 0; at < a.size(); at += qsizetype(piece))
        reader.feed(a.constData() + at, std::min<size_t>(piece, size_t(a.size() - at)));
    reader.finish();
    return double(t.nsecsElapsed()) / 1e6;
}

int child(int hits, int size)
{
    CountingList list;
    LookUp reader;
    reader.setDocumentList(&list);
    reader.begin();
    QByteArray pending = kHead;
    for (int i = 1; i <= hits; ++i) {
        pending += document(i, size);
        if (pending.size() >= 64 * 1024) {
            reader.feed(pending.constData(), size_t(pending.size()));
            pending.clear();
        }
    }
    pending += kTail;
    reader.feed(pending.constData(), size_t(pending.size()));
    reader.finish();
    if (list.n != hits) {
        std::fprintf(stderr, "listed %d of %d\n", list.n, hits);
        return 1;
    }
    std::printf("%ld\n", peakRssKb());
    return 0;
}

long childPeak(const char *self, int hits, int size)
{
    const std::string cmd = std::string(self) + " --child " + std::to_string(hits) + ' '
                            + std::to_string(size);
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    long kb = -1;
    if (std::fscanf(p, "%ld", &kb) != 1)
        kb = -1;
    pclose(p);
    return kb;
}

} // namespace

int main(int argc, char **argv)
{
    xmlInitParser();
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return child(std::atoi(argv[2]), std::atoi(argv[3]));

    const int hits = 100000;
    const int size = 160;
    const QByteArray a = answer(hits, size);
    std::printf("answer: %d hits, %.1f MB\n", hits, double(a.size()) / 1e6);

    // Best of three, after one warm-up of each.
    floorParseMs(a);
    {
        CountingList warm;
        lookUpMs(a, warm, 64 * 1024);
    }
    double floorBest = 1e300, countBest = 1e300, storeBest = 1e300;
    for (int round = 0; round < 3; ++round) {
        floorBest = std::min(floorBest, floorParseMs(a));
        CountingList counting;
        countBest = std::min(countBest, lookUpMs(a, counting, 64 * 1024));
        MemoryDocumentList stored;
        storeBest = std::min(storeBest, lookUpMs(a, stored, 64 * 1024));
        if (stored.count() != hits || counting.count() != hits) {
            std::fprintf(stderr, "wrong hit count\n");
            return 1;
        }
    }
    std::printf("SAX floor (whole answer from memory):   %8.1f ms (%d elements)\n", floorBest,
                floorElements);
    std::printf("LookUp, 64 kB pieces, entries counted:  %8.1f ms  ratio %.2f\n", countBest,
                countBest / floorBest);
    std::printf("LookUp, 64 kB pieces, entries kept:     %8.1f ms  ratio %.2f  (target <= 2.00)\n",
                storeBest, storeBest / floorBest);

    // Peak memory when the answer arrives piecewise and is never held whole.
    const long base = childPeak(argv[0], 0, size);
    const long k10 = childPeak(argv[0], 10000, size);
    const long k100 = childPeak(argv[0], 100000, size);
    const long big = childPeak(argv[0], 10000, 16 * 1024);
    std::printf("peak RSS, no hits:                         %7ld kB\n", base);
    std::printf("peak RSS, 10,000 hits   (%5.1f MB answer): %7ld kB\n", 10000.0 * size / 1e6, k10);
    std::printf("peak RSS, 100,000 hits  (%5.1f MB answer): %7ld kB  growth over 10,000: %ld kB\n",
                100000.0 * size / 1e6, k100, k100 - k10);
    std::printf("peak RSS, 10,000 hits of 16 kB (%5.1f MB): %7ld kB\n", 10000.0 * 16384 / 1e6, big);
    return 0;
}
