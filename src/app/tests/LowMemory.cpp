// The real window under a memory limit: Open, Import onto an object already open, a
// textured record naming a bitmap too large for the memory left, and a message shown with
// memory gone. Each scenario runs in a child process of this program (the window on the
// test display) that limits its own address space once the window is up; the test reads
// the child's report and its exit status.
#include "DialogService.h"
#include "FormFixture.h"
#include "MemoryBudget.h"
#include "ObjectFile.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"
#include "TVorlanApplication.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uint64_t kMiB = 1ull << 20;
// What the child may take beyond its use once the window is up.
constexpr uint64_t kLimitAbove = 400 * kMiB;

std::string selfPath;

// Real message boxes, answered with their first button by a timer running in their own
// event loop; the file dialog answers with the scenario's files in turn.
class AnsweredDialogs : public QtDialogService {
public:
    explicit AnsweredDialogs(QWidget* parent) : QtDialogService(parent) {}

    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override
    {
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.push_back(box->windowTitle() + ": " + box->text());
                QAbstractButton* yes = box->button(QMessageBox::Yes);
                (yes ? yes : box->button(QMessageBox::Ok))->click();
            }
        });
        answer.start(10);
        return QtDialogService::showMessage(caption, text, icon, buttons);
    }
    bool executeFileDialog(FileDialogKind, FileDialogSettings& dialog) override
    {
        if (files.empty())
            return false;
        dialog.fileName = files.front();
        files.erase(files.begin());
        return true;
    }

    std::vector<QString> files;
    QStringList shown;
};

uint64_t addressSpaceInUse()
{
    std::ifstream in("/proc/self/status");
    std::stringstream text;
    text << in.rdbuf();
    return ProcField(text.str(), "VmSize").value_or(0);
}

bool limitAddressSpace(uint64_t above)
{
    const rlim_t limit = rlim_t(addressSpaceInUse() + above);
    struct rlimit r = {limit, limit};
    return ::setrlimit(RLIMIT_AS, &r) == 0;
}

// The child: one scenario against the real window, the report on standard output.
int runChild(const std::string& scenario, const QString& folder)
{
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    int argc = 1;
    char name[] = "low_memory_tests";
    char* argv[] = {name, nullptr};
    TVorlanApplication app(argc, argv);
    QDir::setCurrent(folder);
    std::vector<std::pair<char*, std::size_t>> hog;
    hog.reserve(1 << 20);
    {
        AnsweredDialogs dialogs(nullptr);
        TVorlanForm form(&dialogs);
        app.setErrorDisplay(&form.dialogs());
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 10;
        QApplication::processEvents();
        if (!limitAddressSpace(kLimitAbove))
            return 11;

        if (scenario == "open") {
            dialogs.files = {folder + "/huge.3do"};
            form.FileOpenExecute();
        } else if (scenario == "import") {
            dialogs.files = {folder + "/small.3do", folder + "/huge.3do"};
            form.FileOpenExecute();
            form.FileImportExecute();
        } else if (scenario == "texture") {
            dialogs.files = {folder + "/textured.3do"};
            form.FileOpenExecute();
        } else if (scenario == "exhausted") {
            // Take everything there is but a little for the handler's own small needs,
            // far less than a message box takes, then ask for a message.
            dialogs.files = {folder + "/missing.3do"};
            for (std::size_t block = 64 * kMiB; block >= 64; block /= 2)
                while (char* p = static_cast<char*>(std::malloc(block)))
                    hog.emplace_back(p, block);
            for (std::size_t freed = 0; freed < 256 * 1024 && !hog.empty(); hog.pop_back()) {
                std::free(hog.back().first);
                freed += hog.back().second;
            }
            form.FileOpenExecute();
            for (auto [p, size] : hog)
                std::free(p);
            hog.clear();
        }
        // The program goes on: a frame, and New asking its question and emptying the list.
        form.DrawScene();
        const int count = form.polygons().Count();
        const int listed = form.editor()->polygonListBox()->count();
        QStringList names;
        for (const tElement* e = form.polygons().First(); e && names.size() < 4; e = e->next)
            names << QString::fromLatin1(e->name.data(), qsizetype(e->name.size()));
        QStringList textures;
        for (const tElement* e = form.polygons().First(); e; e = e->next)
            if (e->isTextured())
                textures << (e->textureId == 0 ? "none" : "loaded");
        form.FileNewExecute();
        std::printf("count=%d listed=%d first=%s textures=%s emptied=%d\nmessages=%s\n", count,
                    listed, qPrintable(names.join(',')), qPrintable(textures.join(',')),
                    int(form.polygons().Count() == 0), qPrintable(dialogs.shown.join('|')));
    }
    std::fflush(stdout);
    return 0;
}

struct ChildResult {
    int status = -1;
    std::string report;
};

ChildResult runScenario(const char* scenario, const QString& folder)
{
    int out[2];
    ChildResult result;
    if (::pipe(out) != 0)
        return result;
    const QByteArray folderBytes = QFile::encodeName(folder);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(selfPath.c_str(), selfPath.c_str(), "--child", scenario, folderBytes.constData(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    char buffer[4096];
    for (;;) {
        struct pollfd p = {out[0], POLLIN, 0};
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0 || ::poll(&p, 1, left) <= 0) {
            ::kill(child, SIGKILL);
            result.report += "[timed out]";
            break;
        }
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.report.append(buffer, std::size_t(n));
    }
    ::close(out[0]);
    ::waitpid(child, &result.status, 0);
    return result;
}

class LowMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; no limit can hold it";
#endif
        ASSERT_TRUE(dir.isValid());
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Zero records without end (a sparse file): more empty polygons than the limit holds.
    void hugeObject()
    {
        QFile f(path("huge.3do"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64(kObjectRecordSize) * 4000000));
    }

    void expectNormalEnd(const ChildResult& r)
    {
        EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0)
            << "status " << r.status << " (signal " << (WIFSIGNALED(r.status) ? WTERMSIG(r.status) : 0)
            << "), report: " << r.report;
    }

    static int field(const std::string& report, const char* name)
    {
        const std::size_t at = report.find(std::string(name) + "=");
        return at == std::string::npos ? -1 : std::atoi(report.c_str() + at + std::strlen(name) + 1);
    }

    QTemporaryDir dir;
};

const char* const kNewQuestion = "Information: Sure to delete all data and start with a new object?";

TEST_F(LowMemory, OpenStopsReportsAndListsWhatWasRead)
{
    hugeObject();
    const ChildResult r = runScenario("open", dir.path());
    expectNormalEnd(r);
    EXPECT_GT(field(r.report, "count"), 10000) << r.report;
    EXPECT_LT(field(r.report, "count"), 4000000) << r.report;
    EXPECT_EQ(field(r.report, "listed"), field(r.report, "count")) << r.report;
    EXPECT_EQ(field(r.report, "emptied"), 1) << r.report;
    EXPECT_NE(r.report.find(std::string("messages=Information: Loading not possible|") + kNewQuestion + "\n"),
              std::string::npos) << r.report;
}

TEST_F(LowMemory, ImportKeepsTheOpenObjectAndListsWhatWasAppended)
{
    hugeObject();
    CDynArray small;
    for (const char* n : {"a1", "a2", "a3"})
        small.Add(quad(n, {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 1, 2, 3));
    ASSERT_TRUE(WriteObjectFile(path("small.3do").toStdString(), small.First(), 3));
    const ChildResult r = runScenario("import", dir.path());
    expectNormalEnd(r);
    EXPECT_NE(r.report.find("first=a1,a2,a3, "), std::string::npos) << r.report;
    EXPECT_GT(field(r.report, "count"), 10000) << r.report;
    EXPECT_EQ(field(r.report, "listed"), field(r.report, "count")) << r.report;
    EXPECT_NE(r.report.find(std::string("messages=Information: Importing not possible|") + kNewQuestion + "\n"),
              std::string::npos) << r.report;
}

TEST_F(LowMemory, ABitmapTooLargeForTheMemoryLeftFailsLikeAMissingOne)
{
    // 8192 x 8192 pixels: 192 MiB of rows and 256 MiB as a texture, more than is left
    // beside the window's room; the small one beside it still loads.
    {
        QFile f(path("huge.bmp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray header(54, '\0');
        auto put = [&](int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                header[at + i] = char(v >> (8 * i));
        };
        header[0] = 'B';
        header[1] = 'M';
        put(10, 54);
        put(14, 40);
        put(18, 8192);
        put(22, 8192);
        header[26] = 1;
        header[28] = 24;
        ASSERT_EQ(f.write(header), 54);
        ASSERT_TRUE(f.resize(54 + qint64(8192) * 8192 * 3));
    }
    ASSERT_TRUE(writeBitmap(path("small.bmp"), 4, 4, [](int, int) { return QColor(9, 99, 199); }));
    CDynArray list;
    list.Add(texturedQuad("big", {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, "huge.bmp"));
    list.Add(texturedQuad("small", {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, "small.bmp"));
    ASSERT_TRUE(WriteObjectFile(path("textured.3do").toStdString(), list.First(), 2));

    const ChildResult r = runScenario("texture", dir.path());
    expectNormalEnd(r);
    EXPECT_NE(r.report.find("count=2 listed=2 first=big,small textures=none,loaded emptied=1\n"
                            "messages=" + std::string(kNewQuestion) + "\n"),
              std::string::npos) << r.report;
}

TEST_F(LowMemory, AMessageIsShownWithMemoryGone)
{
    const ChildResult r = runScenario("exhausted", dir.path());
    expectNormalEnd(r);
    EXPECT_NE(r.report.find("count=0 listed=0"), std::string::npos) << r.report;
    EXPECT_NE(r.report.find("messages=Information: Loading not possible\n"), std::string::npos) << r.report;
}

} // namespace

int main(int argc, char** argv)
{
    selfPath = argv[0];
    if (argc == 4 && std::string(argv[1]) == "--child")
        return runChild(argv[2], QFile::decodeName(argv[3]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
