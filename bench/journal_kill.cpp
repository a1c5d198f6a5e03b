// Kill test of the journal. "drive" edits an object through the undo history and the journal
// as the window does (Add, Update, Remove, Open, Import, New, Undo, Redo at random, a few
// milliseconds apart) and logs, after each change, its number, time and a digest of the
// object; it runs until it is killed. "check" then restores the orphaned journal as the next
// start does and says which logged change the restored object is.
#include "Journal.h"
#include "ObjectFile.h"
#include "ObjectRecord.h"
#include "SpreadObject.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

uint32_t noTexture(const std::string&, int, int, int) { return 0; }

uint64_t digest(const CDynArray& list)
{
    uint64_t h = 1469598103934665603ull;
    for (const tElement* p = list.First(); p; p = p->next) {
        uint8_t record[kObjectRecordSize];
        EncodeObjectRecord(*p, record);
        for (uint8_t b : record)
            h = (h ^ b) * 1099511628211ull;
    }
    return h ^ uint64_t(list.Count());
}

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int drive(const std::string& state, const std::string& log, const std::string& big)
{
    CDynArray list;
    UndoHistory history(list);
    auto journal = Journal::Create(state);
    if (!journal)
        return 1;
    history.setSink(journal.get());
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
    std::mt19937 random{unsigned(nowMs())};
    tElement e;
    e.type = "Quad";
    e.color = 0x10203;
    for (long change = 1;; ++change) {
        const unsigned pick = random() % 100;
        const int n = list.Count();
        e.name = "P" + std::to_string(change);
        e.vertex[0] = float(change);
        auto read = [&](CDynArray& l) { return ReadObjectFile(big, l, noTexture); };
        if (pick < 2)
            history.replace(read, big);
        else if (pick < 3)
            history.append(read, big);
        else if (pick < 4 && n > 0)
            history.replace({}, {});
        else if (pick < 12 && history.canUndo())
            history.undo();
        else if (pick < 16 && history.canRedo())
            history.redo();
        else if (pick < 30 && n > 0)
            history.update(int(random() % n) + 1, e, noTexture);
        else if (pick < 40 && n > 0)
            history.remove(int(random() % n) + 1);
        else
            history.add(e, noTexture);
        // The change is complete: logged with what the object now is.
        char line[96];
        const int len = std::snprintf(line, sizeof line, "%ld %lld %llu %d\n", change, nowMs(),
                                      (unsigned long long)digest(list), list.Count());
        if (::write(out, line, size_t(len)) != len)
            return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 8));
    }
}

int check(const std::string& state, const std::string& log)
{
    struct Logged {
        long change;
        long long ms;
        unsigned long long digest;
        int count;
    };
    std::vector<Logged> logged;
    std::ifstream in(log);
    for (Logged l; in >> l.change >> l.ms >> l.digest >> l.count;)
        logged.push_back(l);
    JournalContents contents;
    auto orphan = Journal::TakeOrphan(state, contents);
    if (!orphan || logged.empty()) {
        std::printf("FAIL: nothing offered (%zu changes logged)\n", logged.size());
        return 1;
    }
    CDynArray list;
    UndoHistory history(list);
    const bool whole = ReplayJournal(contents.entries, state, history, noTexture);
    const uint64_t d = digest(list);
    struct Discard {
        Journal& j;
        ~Discard() { j.discard(); }
    } discard{*orphan};
    for (std::size_t i = logged.size(); i-- > 0;) {
        if (logged[i].digest != d || logged[i].count != list.Count())
            continue;
        // The object stayed so until the next change was made.
        const long long until = i + 1 < logged.size() ? logged[i + 1].ms : logged.back().ms;
        const long long behind = logged.back().ms - until;
        const bool ok = whole && behind <= 1000;
        std::printf("%s: restored change %ld of %ld (%d polygons), %lld ms behind the last\n",
                    ok ? "PASS" : "FAIL", logged[i].change, logged.back().change, list.Count(),
                    behind < 0 ? 0 : behind);
        return ok ? 0 : 1;
    }
    // The kill may come after a change reached the journal but before it was logged: then the
    // journal without its last change is the last logged object.
    std::vector<JournalEntry> before = contents.entries;
    while (!before.empty() && before.back().kind == JournalEntry::Kind::Folder)
        before.pop_back();
    if (!before.empty())
        before.pop_back();
    CDynArray shorter;
    UndoHistory again(shorter);
    ReplayJournal(before, state, again, noTexture);
    if (whole && digest(shorter) == logged.back().digest) {
        std::printf("PASS: restored the change after %ld, made before the kill but not yet logged "
                    "(%d polygons)\n", logged.back().change, list.Count());
        return 0;
    }
    std::printf("FAIL: the restored object (%d polygons) is none of the %zu logged\n", list.Count(),
                logged.size());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 4) {
        CDynArray source;
        FillSpreadObject(source, std::atoi(argv[3]));
        return WriteObjectFile(argv[2], source.First(), source.Count()) ? 0 : 1;
    }
    if (mode == "drive" && argc == 5)
        return drive(argv[2], argv[3], argv[4]);
    if (mode == "check" && argc == 4)
        return check(argv[2], argv[3]);
    std::fprintf(stderr, "usage: journal_kill make FILE N | drive STATE LOG FILE | check STATE LOG\n");
    return 2;
}
