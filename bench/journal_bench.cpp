// What the undo history and the journal cost the interface thread at a million polygons:
// for Add, Update and Remove the time inside the journal (encoding and queueing) apart from
// the list's own work, and the bytes each writes; for Open and New of the million the same,
// and how long the journal's thread takes to have the opened file safe.
#include "Journal.h"
#include "ObjectFile.h"
#include "SpreadObject.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

double threadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Forwards to the journal and keeps the time spent there: on the clock, and on the processor
// (the difference is this thread waiting for the processor on a loaded machine).
struct TimedSink : ObjectChangeSink {
    Journal& journal;
    double last = 0;
    double lastCpu = 0;
    explicit TimedSink(Journal& j) : journal(j) {}
    template <typename F> void timed(F&& f)
    {
        const auto t = Clock::now();
        const double cpu = threadCpuMs();
        f();
        last = msSince(t);
        lastCpu = threadCpuMs() - cpu;
    }
    void added(const tElement& e) override { timed([&] { journal.added(e); }); }
    void updated(int p, const tElement& e) override { timed([&] { journal.updated(p, e); }); }
    void removed(int p) override { timed([&] { journal.removed(p); }); }
    void replaced(const std::string& s, int n) override { timed([&] { journal.replaced(s, n); }); }
    void appended(const std::string& s, int n) override { timed([&] { journal.appended(s, n); }); }
    void undone() override { timed([&] { journal.undone(); }); }
    void redone() override { timed([&] { journal.redone(); }); }
};

uint32_t noTexture(const std::string&, int, int, int) { return 0; }

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int changes = 1000;
    char folderTemplate[] = "/tmp/journal-bench-XXXXXX";
    const std::string folder = ::mkdtemp(folderTemplate);
    const std::string file = folder + "/big.3do";
    {
        CDynArray source;
        FillSpreadObject(source, n);
        WriteObjectFile(file, source.First(), source.Count());
    }
    CDynArray list;
    UndoHistory history(list);
    auto journal = Journal::Create(folder + "/state");
    TimedSink sink(*journal);
    history.setSink(&sink);

    auto t = Clock::now();
    history.replace([&](CDynArray& l) { return ReadObjectFile(file, l, noTexture); }, file);
    const double openAll = msSince(t);
    const double openJournal = sink.last;
    uint64_t bytes = journal->bytesWritten();
    t = Clock::now();
    journal->flush();
    std::printf("Open of %d: %.1f ms in all, %.3f ms of it the journal's; file safe %.0f ms later; "
                "entry %llu bytes + copy of the file\n",
                list.Count(), openAll, openJournal, msSince(t),
                (unsigned long long)journal->bytesWritten() - bytes);

    std::mt19937 random(1);
    auto measure = [&](const char* what, auto change) {
        double journalMax = 0, journalSum = 0, allMax = 0, allSum = 0, cpuMax = 0;
        const uint64_t before = journal->bytesWritten();
        for (int i = 0; i < changes; ++i) {
            const auto start = Clock::now();
            change();
            const double all = msSince(start);
            journalMax = std::max(journalMax, sink.last);
            cpuMax = std::max(cpuMax, sink.lastCpu);
            journalSum += sink.last;
            allMax = std::max(allMax, all);
            allSum += all;
        }
        journal->flush();
        std::printf("%-7s at %d: journal %.4f ms mean, %.4f ms max (%.4f ms max on the processor); "
                    "with the list's work %.3f ms mean, %.3f ms max; %.1f bytes written each\n",
                    what, list.Count(), journalSum / changes, journalMax, cpuMax, allSum / changes,
                    allMax, double(journal->bytesWritten() - before) / changes);
    };
    tElement e = *list.First();
    measure("Add", [&] { history.add(e, noTexture); });
    measure("Update", [&] {
        e.name = "U" + std::to_string(random() % 1000);
        history.update(int(random() % list.Count()) + 1, e, noTexture);
    });
    measure("Remove", [&] { history.remove(int(random() % list.Count()) + 1); });

    t = Clock::now();
    history.replace({}, {});
    std::printf("New of %d: %.1f ms in all, %.3f ms of it the journal's\n", n, msSince(t), sink.last);
    t = Clock::now();
    history.undo();
    std::printf("Undo of New: %.1f ms (%d polygons back), journal %.3f ms\n", msSince(t),
                list.Count(), sink.last);
    std::printf("undo history holds %.1f MiB in %zu steps (bound %llu MiB)\n",
                double(history.bytesHeld()) / (1 << 20), history.stepCount(),
                (unsigned long long)(kUndoByteBound >> 20));
    history.setSink(nullptr);
    journal->discard();
    std::remove(file.c_str());
    ::rmdir((folder + "/state").c_str());
    ::rmdir(folder.c_str());
    return 0;
}
