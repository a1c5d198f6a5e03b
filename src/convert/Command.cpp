#include "Command.h"

#include "CommandLine.h"
#include "FileNames.h"
#include "Info.h"
#include "ObjectFile.h"
#include "ObjectOutput.h"
#include "Progress.h"
#include "SafeSave.h"
#include "Textures.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kProgram = "3dvorlan-convert";
constexpr int kMaxPictureSide = 16384;

const char* const kHelp =
    "Usage: 3dvorlan-convert [OPTIONS] IN OUT\n"
    "       3dvorlan-convert [OPTIONS] -o DIR --to EXT IN...\n"
    "       3dvorlan-convert --info IN...\n"
    "Converts meshes into 3D-Vorlan object files (.3do), objects into meshes, and draws\n"
    "objects as PNG pictures. The formats follow from the file name extensions.\n"
    "\n"
    "Into .3do: obj (with mtl), stl, ply, gltf, glb, off, 3mf and the other formats of the\n"
    "Open Asset Import Library. Out of .3do: obj, stl, ply, glb, gltf, png.\n"
    "\n"
    "Options:\n"
    "  -o, --output-dir DIR  write the outputs of several inputs into DIR\n"
    "  -t, --to EXT          the output format for -o (3do, obj, stl, ply, glb, gltf, png)\n"
    "      --info            describe the inputs instead of converting them\n"
    "      --up y|z          the source's up axis; z turns a Z-up mesh upright (default y)\n"
    "      --scale K         multiply the source's coordinates by K instead of fitting\n"
    "      --no-fit          keep the source's coordinates as they are\n"
    "      --round           round every coordinate to a whole number, as the editor shows\n"
    "                        them, even where faces change (default: only where none does)\n"
    "      --keep-fractions  keep fractional coordinates even where whole numbers do no harm\n"
    "      --size WxH        picture size in pixels (default %dx%d, the window's view)\n"
    "      --turn X,Y,Z      turn the object by these degrees about X, Y and Z\n"
    "      --light A,D,S     ambient, diffuse and specular light, 1..10 (default 3,7,10)\n"
    "      --no-ground       draw no ground and no shadow\n"
    "      --no-axes         draw no axes\n"
    "  -q, --quiet           no progress bar and no summary\n"
    "  -h, --help            show this help and exit\n"
    "  -V, --version         show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when one could not be, 2 for a wrong\n"
    "command line.\n";

std::string extensionOf(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return "";
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::string stemOf(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

struct Settings {
    ImportOptions import;
    PictureRequest picture;
    bool quiet = false;
    bool info = false;
    std::string outputDir;
    std::string to;
    std::vector<std::string> files;
};

class UsageError {
public:
    explicit UsageError(std::string text) : text(std::move(text)) {}
    std::string text;
};

bool parseFloat(const std::string& text, float& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(v) || std::fabs(v) > 3.0e38)
        return false;
    value = float(v);
    return true;
}

bool parseInt(const std::string& text, int lo, int hi, int& value)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    value = std::atoi(text.c_str());
    return value >= lo && value <= hi;
}

std::vector<std::string> splitAt(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.push_back("");
    return parts;
}

Settings parse(const std::vector<std::string>& args)
{
    Settings s;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            s.files.push_back(a);
            continue;
        }
        std::string name = a, attached;
        bool hasAttached = false;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            name = a.substr(0, a.find('='));
            attached = a.substr(a.find('=') + 1);
            hasAttached = true;
        }
        auto value = [&]() -> std::string {
            if (hasAttached)
                return attached;
            if (i + 1 >= args.size())
                throw UsageError("option " + name + " needs a value");
            return args[++i];
        };
        if (name == "--") {
            optionsEnded = true;
        } else if (name == "-q" || name == "--quiet") {
            s.quiet = true;
        } else if (name == "--info") {
            s.info = true;
        } else if (name == "-o" || name == "--output-dir") {
            s.outputDir = value();
        } else if (name == "-t" || name == "--to") {
            s.to = value();
            if (!s.to.empty() && s.to[0] == '.')
                s.to.erase(0, 1);
            std::transform(s.to.begin(), s.to.end(), s.to.begin(),
                           [](unsigned char c) { return std::tolower(c); });
        } else if (name == "--up") {
            std::string v = value();
            if (v == "z" || v == "Z")
                s.import.zUp = true;
            else if (v == "y" || v == "Y")
                s.import.zUp = false;
            else
                throw UsageError("--up takes y or z, not '" + v + "'");
        } else if (name == "--scale") {
            std::string v = value();
            float k;
            if (!parseFloat(v, k) || !(k > 0))
                throw UsageError("--scale takes a positive number, not '" + v + "'");
            s.import.fit = false;
            s.import.scale = k;
        } else if (name == "--no-fit") {
            s.import.fit = false;
        } else if (name == "--round") {
            s.import.rounding = Rounding::Always;
        } else if (name == "--keep-fractions") {
            s.import.rounding = Rounding::Never;
        } else if (name == "--size") {
            std::string v = value();
            auto parts = splitAt(v, 'x');
            if (parts.size() != 2 || !parseInt(parts[0], 1, kMaxPictureSide, s.picture.width) ||
                !parseInt(parts[1], 1, kMaxPictureSide, s.picture.height))
                throw UsageError("--size takes WIDTHxHEIGHT, each 1.." +
                                 std::to_string(kMaxPictureSide) + ", not '" + v + "'");
        } else if (name == "--turn") {
            std::string v = value();
            auto parts = splitAt(v, ',');
            if (parts.size() != 3 || !parseFloat(parts[0], s.picture.turn[0]) ||
                !parseFloat(parts[1], s.picture.turn[1]) || !parseFloat(parts[2], s.picture.turn[2]))
                throw UsageError("--turn takes X,Y,Z in degrees, not '" + v + "'");
        } else if (name == "--light") {
            std::string v = value();
            auto parts = splitAt(v, ',');
            if (parts.size() != 3 || !parseInt(parts[0], 1, 10, s.picture.light[0]) ||
                !parseInt(parts[1], 1, 10, s.picture.light[1]) ||
                !parseInt(parts[2], 1, 10, s.picture.light[2]))
                throw UsageError("--light takes A,D,S, each 1..10, not '" + v + "'");
        } else if (name == "--no-ground") {
            s.picture.ground = false;
        } else if (name == "--no-axes") {
            s.picture.axes = false;
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    return s;
}

// One conversion or description, reporting its own failure.
class Job {
public:
    Job(const Settings& settings, const CommandServices& services, ProgressBar& progress)
        : s_(settings), services_(services), progress_(progress)
    {
    }

    bool convert(const std::string& in, const std::string& out)
    {
        const std::string inExt = extensionOf(in);
        const std::string outExt = extensionOf(out);
        if (!checkOutputKind(out, outExt) || !checkInput(in, inExt))
            return false;
        return isolated(in, out, [&] {
            progress_.start(in);
            if (inExt == "3do")
                return fromObject(in, out, outExt);
            return fromMesh(in, out, outExt);
        });
    }

    bool describe(const std::string& in)
    {
        const std::string inExt = extensionOf(in);
        if (!checkInput(in, inExt))
            return false;
        return isolated(in, "", [&] { return describeChecked(in, inExt); });
    }

private:
    // Some readers of the import library crash on broken files (a binary PLY with a garbled
    // header, for one). Each file is therefore converted in a child process: a crash there
    // is reported as that file's failure and the other files of a batch go on.
    template <class Work>
    bool isolated(const std::string& in, const std::string& out, Work work)
    {
        std::fflush(nullptr);
        pid_t child = ::fork();
        if (child < 0)
            return work();   // no process to spare: convert in this one
        if (child == 0) {
            bool ok = work();
            progress_.done();
            std::fflush(nullptr);
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            return WEXITSTATUS(status) == 0;
        if (progress_.enabled())
            std::fputs("\r\033[K", services_.err);
        if (!out.empty())
            removeStaged(out);
        return fail(in, "the import library crashed reading it (signal " +
                            std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0) + ")");
    }

    // What a crashed child may have left: the save's named temporary file beside the target.
    static void removeStaged(const std::string& out)
    {
        const std::string folder = FolderOf(out);
        const std::string prefix = "." + out.substr(out.find_last_of('/') + 1) + ".";
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            return;
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
                ::unlink((folder + "/" + name).c_str());
        }
        ::closedir(dir);
    }

    bool describeChecked(const std::string& in, const std::string& inExt)
    {
        CDynArray list;
        if (inExt == "3do") {
            if (!readObject(in, list))
                return false;
        } else {
            progress_.start(in);
            ImportReport report;
            if (!importInto(in, list, report))
                return false;
        }
        progress_.done();
        std::fprintf(services_.out, "%s\n%s", in.c_str(),
                     DescribeObject(list, inExt == "3do" ? FolderOf(in) : std::string()).c_str());
        return true;
    }

    bool fail(const std::string& file, const std::string& reason)
    {
        progress_.done();
        std::fprintf(services_.err, "%s: %s: %s\n", kProgram, file.c_str(), reason.c_str());
        return false;
    }

    void say(const std::string& text)
    {
        progress_.done();
        if (!s_.quiet)
            std::fprintf(services_.out, "%s\n", text.c_str());
    }

    bool checkOutputKind(const std::string& out, const std::string& ext)
    {
        if (ext == "3do" || ext == "png" || !ExporterFor(ext).empty())
            return true;
        return fail(out, ext.empty() ? "no file name extension to tell the output format"
                                     : "cannot write '." + ext + "' files (3do, obj, stl, ply, glb, gltf or png)");
    }

    bool checkInput(const std::string& in, const std::string& ext)
    {
        if (ext != "3do" && !CanImportExtension(ext))
            return fail(in, ext.empty() ? "no file name extension to tell the format"
                                        : "unknown format '." + ext + "'");
        struct stat st;
        if (::stat(in.c_str(), &st) != 0)
            return fail(in, SystemReason(errno));
        if (S_ISDIR(st.st_mode))
            return fail(in, "is a folder");
        if (!S_ISREG(st.st_mode))
            return fail(in, "is not a regular file");
        int fd = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(in, SystemReason(errno));
        ::close(fd);
        if (st.st_size == 0)
            return fail(in, "is empty");
        return true;
    }

    // The window takes whole records of any file and ignores a rest; the converter reads
    // only what is an object file through and through, so a cut-off file or another kind of
    // file is not passed on as if it were an object.
    bool readObject(const std::string& in, CDynArray& list)
    {
        uint32_t next = 1;
        std::string fault;
        if (!ReadObjectFileStrictly(in, list, [&](const std::string&, int, int, int) { return next++; },
                                    fault))
            return fail(in, fault);
        if (list.Count() == 0)
            return fail(in, "holds no polygons");
        return true;
    }

    ImportContext importContext(const std::string& in)
    {
        ImportContext context;
        context.options = s_.import;
        context.decodeImage = services_.decodeImage;
        context.folder = FolderOf(in);
        context.progress = [this](float f) { progress_.update(f); };
        return context;
    }

    bool importInto(const std::string& in, CDynArray& list, ImportReport& report)
    {
        std::string error;
        bool ok = ImportMeshFile(in, importContext(in),
                                 [&](const tElement& e) { return list.Add(e); }, report, error);
        return ok || fail(in, error);
    }

    std::string summary(const std::string& in, const std::string& out, const ImportReport& r,
                        const BitmapsBeside* bitmaps = nullptr)
    {
        std::string text = in + " -> " + out + ": " + std::to_string(r.polygons) + " polygons (" +
                           std::to_string(r.triangles) + " triangles, " + std::to_string(r.quads) +
                           " quads); " + std::to_string(r.split) + " faces split, " +
                           std::to_string(r.degenerate) + " dropped as degenerate, " +
                           std::to_string(r.clamped) + " clamped, " + std::to_string(r.rounded) +
                           " rounded to whole units";
        if (r.notFaces > 0)
            text += ", " + std::to_string(r.notFaces) + " points or lines skipped";
        if (r.textured > 0)
            text += "; " + std::to_string(r.textured) + " textured";
        if (bitmaps && r.textured > 0)
            text += ", " + std::to_string(bitmaps->newFiles()) + " bitmaps written, " +
                    std::to_string(bitmaps->reused()) + " found beside it";
        for (const std::string& picture : r.unreadablePictures)
            text += "; picture '" + picture + "' cannot be read, its faces take another colour";
        if (r.keptFractions) {
            const char* harm = r.harm == RoundingHarm::Collapse ? "leave face %zu without area"
                               : r.harm == RoundingHarm::Bend   ? "bend face %zu, a flat quad"
                                                                : "change the area of face %zu by more than 1 %%";
            char because[80];
            std::snprintf(because, sizeof because, harm, r.harmedFace);
            text += std::string("; fractions kept: whole units would ") + because;
        }
        return text;
    }

    bool fromMesh(const std::string& in, const std::string& out, const std::string& outExt)
    {
        ImportReport report;
        if (outExt == "3do") {
            ObjectFileOutput output(out);
            // Only an object can name bitmaps; they go beside it before it is put in place,
            // so it never names one that is not there.
            BitmapsBeside bitmaps(FolderOf(out));
            ImportContext context = importContext(in);
            context.bitmaps = &bitmaps;
            std::string error;
            if (!ImportMeshFile(in, context, [&](const tElement& e) { return output.add(e); },
                                report, error))
                return fail(output.error().empty() ? in : out,
                            output.error().empty() ? error : output.error());
            if (!bitmaps.save(error))
                return fail(out, error);
            if (!output.finish(error))
                return fail(out, error);
            say(summary(in, out, report, &bitmaps));
            return true;
        }
        CDynArray list;
        if (!importInto(in, list, report))
            return false;
        if (!write(list, in, out, outExt, ""))
            return false;
        say(summary(in, out, report));
        return true;
    }

    bool fromObject(const std::string& in, const std::string& out, const std::string& outExt)
    {
        CDynArray list;
        if (!readObject(in, list))
            return false;
        if (!write(list, in, out, outExt, FolderOf(in)))
            return false;
        say(in + " -> " + out + ": " + std::to_string(list.Count()) + " polygons" +
            (exportLoss_.empty() ? std::string() : "; " + exportLoss_));
        return true;
    }

    bool write(CDynArray& list, const std::string& in, const std::string& out,
               const std::string& outExt, const std::string& textureFolder)
    {
        std::string error;
        if (outExt == "3do") {
            ObjectFileOutput output(out);
            for (const tElement* p = list.First(); p; p = p->next)
                if (!output.add(*p))
                    break;
            return output.finish(error) || fail(out, error);
        }
        if (outExt == "png")
            return picture(list, in, out);
        ExportContext context;
        context.textureFolder = textureFolder;
        context.encodePng = services_.encodePng;
        exportLoss_.clear();
        context.loss = &exportLoss_;
        if (!ExportObject(list, out, ExporterFor(outExt), context, error))
            return fail(out, error);
        return true;
    }

    bool picture(CDynArray& list, const std::string& in, const std::string& out)
    {
        if (!services_.makePicture)
            return fail(out, "pictures cannot be drawn: this build has no picture library");
        // Bitmaps are named relative to the object's folder, as the window finds them after
        // its file dialog made that folder current.
        PictureRequest request = s_.picture;
        if (request.width == 0 || request.height == 0) {
            request.width = services_.pictureWidth;
            request.height = services_.pictureHeight;
        }
        request.textureFolder = FolderOf(in);
        std::vector<uint8_t> png;
        std::string error;
        if (!services_.makePicture(list, request, png, error))
            return fail(out, error);
        return SaveFileSafely(out, png.data(), png.size(), error) || fail(out, error);
    }

    const Settings& s_;
    const CommandServices& services_;
    ProgressBar& progress_;
    std::string exportLoss_;
};

// Two inputs of a batch that would be written to one output would leave only the second's
// conversion, so a batch with such a pair converts nothing: each pair is told before
// anything is written.
bool outputsAreDistinct(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                        std::FILE* err)
{
    std::map<std::string, std::size_t> first;
    bool distinct = true;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        auto [at, added] = first.emplace(outputs[i], i);
        if (added)
            continue;
        std::fprintf(err, "%s: %s: both %s and %s would be written to it; nothing was converted\n",
                     kProgram, outputs[i].c_str(), inputs[at->second].c_str(), inputs[i].c_str());
        distinct = false;
    }
    return distinct;
}

} // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, const CommandServices& services)
{
    switch (FindInfoRequest(arguments)) {
    case InfoRequest::Help:
        std::fprintf(services.out, kHelp, services.pictureWidth, services.pictureHeight);
        return kExitOk;
    case InfoRequest::Version:
        std::fprintf(services.out, "%s %s\n", kProgram, services.version.c_str());
        return kExitOk;
    case InfoRequest::None:
        break;
    }
    Settings settings;
    try {
        settings = parse(arguments);
        if (settings.files.empty())
            throw UsageError("no input file");
        if (!settings.info && settings.outputDir.empty() != settings.to.empty())
            throw UsageError("-o DIR and --to EXT go together");
        if (!settings.info && settings.outputDir.empty() && settings.files.size() != 2)
            throw UsageError(settings.files.size() < 2
                                 ? "no output file (IN OUT, or -o DIR --to EXT IN...)"
                                 : "several inputs need -o DIR --to EXT");
    } catch (const UsageError& e) {
        std::fprintf(services.err, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                     e.text.c_str(), kProgram);
        return kExitUsage;
    }

    ProgressBar progress(!settings.quiet);
    Job job(settings, services, progress);
    bool ok = true;
    try {
        if (settings.info) {
            for (const std::string& in : settings.files)
                ok = job.describe(in) && ok;
        } else if (settings.outputDir.empty()) {
            ok = job.convert(settings.files[0], settings.files[1]);
        } else {
            std::vector<std::string> outputs;
            for (const std::string& in : settings.files)
                outputs.push_back(settings.outputDir + "/" + stemOf(in) + "." + settings.to);
            if (!outputsAreDistinct(settings.files, outputs, services.err))
                return kExitFailed;
            for (std::size_t i = 0; i < outputs.size(); ++i)
                ok = job.convert(settings.files[i], outputs[i]) && ok;
        }
    } catch (const std::bad_alloc&) {
        progress.done();
        std::fprintf(services.err, "%s: not enough memory\n", kProgram);
        return kExitFailed;
    }
    return ok ? kExitOk : kExitFailed;
}
