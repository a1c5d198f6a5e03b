#include "Import.h"

#include "Faces.h"
#include "Latin1.h"
#include "Textures.h"
#include "MemoryBudget.h"
#include "SizeChecks.h"

#include <assimp/BaseImporter.h>
#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/commonMetaData.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>

#include <sys/stat.h>

// Debian builds the import library with its internal checks on, and a failed check ends the
// process (a broken 3MF file does it). The library calls its check handler through the
// dynamic linker, so the program's own definition takes its place: the check throws, and the
// library's reader turns that into a read error of the one file.
namespace Assimp {
void aiAssertViolation(const char* failedExpression, const char* file, int line);
void aiAssertViolation(const char* failedExpression, const char*, int)
{
    throw std::runtime_error(std::string("broken file: the reader's check '") + failedExpression +
                             "' failed");
}
} // namespace Assimp

namespace {

using Vec = std::array<double, 3>;

constexpr int kNeutralGrey = 160;

struct Instance {
    const aiMesh* mesh;
    aiMatrix4x4 transform;
    bool identity;
    bool mirrored;       // the transform turns the faces inside out
    std::string name;
};

bool isRegularFile(const char* name)
{
    struct stat st;
    return ::stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

// The library's own file access, refusing anything but regular files: a FIFO or device
// named by a model (or given as the model) would otherwise block or never end.
class RegularFileSystem : public Assimp::DefaultIOSystem {
public:
    bool Exists(const char* file) const override { return isRegularFile(file); }
    Assimp::IOStream* Open(const char* file, const char* mode) override
    {
        if (!isRegularFile(file))
            return nullptr;
        return DefaultIOSystem::Open(file, mode);
    }
};

class ProgressRelay : public Assimp::ProgressHandler {
public:
    explicit ProgressRelay(const ProgressCallback& callback) : callback_(callback) {}
    bool Update(float percentage) override
    {
        if (callback_ && percentage >= 0.0f)
            callback_(std::clamp(percentage, 0.0f, 1.0f) * 0.5f);
        return true;
    }

private:
    const ProgressCallback& callback_;
};

std::vector<Instance> collectInstances(const aiScene& scene)
{
    std::vector<Instance> out;
    if (!scene.mRootNode) {
        for (unsigned i = 0; i < scene.mNumMeshes; ++i)
            out.push_back({scene.mMeshes[i], aiMatrix4x4(), true, false, ""});
        return out;
    }
    // An explicit stack: a deep hierarchy must not overflow the call stack.
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> stack{{scene.mRootNode, aiMatrix4x4()}};
    while (!stack.empty()) {
        auto [node, parent] = stack.back();
        stack.pop_back();
        aiMatrix4x4 world = parent * node->mTransformation;
        bool identity = world.IsIdentity();
        bool mirrored = world.Determinant() < 0;
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            unsigned index = node->mMeshes[i];
            if (index < scene.mNumMeshes)
                out.push_back({scene.mMeshes[index], world, identity, mirrored,
                               node->mName.C_Str()});
        }
        for (unsigned i = node->mNumChildren; i-- > 0;)
            stack.push_back({node->mChildren[i], world});
    }
    return out;
}

struct Placement {
    bool zUp = false;
    double centre[3] = {0, 0, 0};
    double factor = 1.0;

    Vec place(const Instance& in, const aiVector3D& v) const
    {
        Vec out;
        placeInto(in, v, out);
        return out;
    }

    // The same straight into its place in a list: a placed point built aside and then
    // copied stalled the processor on every corner.
    void placeInto(const Instance& in, const aiVector3D& v, Vec& out) const
    {
        const aiVector3D p = in.identity ? v : in.transform * v;
        const double y = zUp ? p.z : p.y, z = zUp ? -p.y : p.z;   // a turn about X keeps the winding
        out[0] = (p.x - centre[0]) * factor;
        out[1] = (y - centre[1]) * factor;
        out[2] = (z - centre[2]) * factor;
    }
};

bool finite(const Vec& v)
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// The box around a mesh's finite vertices as they stand; false when it has none.
bool rawBox(const aiMesh& mesh, Vec& lo, Vec& hi)
{
    float l[3] = {INFINITY, INFINITY, INFINITY}, h[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
        const aiVector3D& v = mesh.mVertices[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            continue;
        l[0] = std::min(l[0], v.x), h[0] = std::max(h[0], v.x);
        l[1] = std::min(l[1], v.y), h[1] = std::max(h[1], v.y);
        l[2] = std::min(l[2], v.z), h[2] = std::max(h[2], v.z);
    }
    lo = {l[0], l[1], l[2]};
    hi = {h[0], h[1], h[2]};
    return l[0] <= h[0];
}

bool hasSurface(const aiMesh& mesh)
{
    for (unsigned f = 0; f < mesh.mNumFaces; ++f)
        if (mesh.mFaces[f].mNumIndices >= 3)
            return true;
    return false;
}

// The RGB of one material, a mesh's vertex colours or a picture, as the faces will take it.
struct Colour {
    int r = kNeutralGrey, g = kNeutralGrey, b = kNeutralGrey;
};

int channel(float v)
{
    if (!(v >= 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return int(std::lround(v * 255.0f));
}

class ColourSource {
public:
    ColourSource(const aiScene& scene, const ImportContext& context, ImportReport& report)
        : scene_(scene), context_(context), report_(report)
    {
    }

    // The mesh's picture, when its faces have texture coordinates into one that was decoded.
    const RgbaImage* picture() const { return picture_; }
    // The name the source gives that picture, for the bitmaps cut from it.
    const std::string& pictureName() const { return pictureName_; }

    // How the faces of a mesh are coloured, settled once per mesh.
    void begin(const aiMesh& mesh)
    {
        mesh_ = &mesh;
        picture_ = nullptr;
        pictureName_.clear();
        useVertexColours_ = false;
        fixed_ = Colour();
        const aiMaterial* material =
            mesh.mMaterialIndex < scene_.mNumMaterials ? scene_.mMaterials[mesh.mMaterialIndex] : nullptr;
        if (material && mesh.HasTextureCoords(0))
            picture_ = texture(*material);
        if (picture_)
            return;
        if (mesh.HasVertexColors(0)) {
            useVertexColours_ = true;
            return;
        }
        // Readers give every mesh a material; one they made up themselves (named as the
        // library's default, or unnamed without a base colour) says nothing of the colour.
        aiColor4D diffuse;
        aiString name;
        if (!material)
            return;
        if (material->Get(AI_MATKEY_BASE_COLOR, diffuse) == AI_SUCCESS) {
            fixed_ = {channel(diffuse.r), channel(diffuse.g), channel(diffuse.b)};
            return;
        }
        if (material->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0 &&
            std::string(name.C_Str()) != AI_DEFAULT_MATERIAL_NAME &&
            material->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) == AI_SUCCESS)
            fixed_ = {channel(diffuse.r), channel(diffuse.g), channel(diffuse.b)};
    }

    Colour of(const unsigned* indices, unsigned count) const
    {
        if (picture_) {
            double u = 0, v = 0;
            for (unsigned i = 0; i < count; ++i) {
                u += mesh_->mTextureCoords[0][indices[i]].x;
                v += mesh_->mTextureCoords[0][indices[i]].y;
            }
            return sample(*picture_, u / count, v / count);
        }
        if (useVertexColours_) {
            float r = 0, g = 0, b = 0;
            for (unsigned i = 0; i < count; ++i) {
                const aiColor4D& c = mesh_->mColors[0][indices[i]];
                r += c.r;
                g += c.g;
                b += c.b;
            }
            return {channel(r / count), channel(g / count), channel(b / count)};
        }
        return fixed_;
    }

private:
    static Colour sample(const RgbaImage& image, double u, double v)
    {
        // Texture coordinates repeat; v runs from the bottom row up.
        u -= std::floor(u);
        v -= std::floor(v);
        if (!std::isfinite(u) || !std::isfinite(v))
            return {};
        int x = std::clamp(int(u * image.width), 0, image.width - 1);
        int y = std::clamp(int((1.0 - v) * image.height), 0, image.height - 1);
        const uint8_t* p = &image.pixels[(std::size_t(y) * image.width + x) * 4];
        return {p[0], p[1], p[2]};
    }

    const RgbaImage* texture(const aiMaterial& material)
    {
        aiString path;
        if (material.GetTexture(aiTextureType_BASE_COLOR, 0, &path) != AI_SUCCESS &&
            material.GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS)
            return nullptr;
        std::string key = path.C_Str();
        pictureName_ = nameOf(key, material);
        auto found = cache_.find(key);
        if (found != cache_.end())
            return found->second.width > 0 ? &found->second : nullptr;
        RgbaImage& image = cache_[key];
        load(key, image);
        if (image.width > 0)
            return &image;
        // The faces then fall back to another colour, which the user must hear of: a picture
        // the decoder lacks turns a model white.
        report_.unreadablePictures.push_back(pictureName_);
        return nullptr;
    }

    // An embedded picture goes by the file name it came from, or its material's name (ours
    // are named after the bitmap).
    std::string nameOf(const std::string& key, const aiMaterial& material) const
    {
        if (key.empty() || key[0] != '*')
            return key;
        const aiTexture* embedded = scene_.GetEmbeddedTexture(key.c_str());
        if (embedded && embedded->mFilename.length > 0)
            return embedded->mFilename.C_Str();
        aiString name;
        if (material.Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0 &&
            std::string(name.C_Str()) != AI_DEFAULT_MATERIAL_NAME)
            return name.C_Str();
        return "picture " + key;
    }

    void load(const std::string& key, RgbaImage& image)
    {
        image = RgbaImage();
        if (const aiTexture* embedded = scene_.GetEmbeddedTexture(key.c_str())) {
            if (embedded->mHeight == 0) {
                if (context_.decodeImage && embedded->pcData)
                    decode(reinterpret_cast<const uint8_t*>(embedded->pcData), embedded->mWidth, image);
            } else if (embedded->pcData && embedded->mWidth < 65536 && embedded->mHeight < 65536) {
                image.width = int(embedded->mWidth);
                image.height = int(embedded->mHeight);
                image.pixels.resize(std::size_t(image.width) * image.height * 4);
                for (std::size_t i = 0; i < std::size_t(image.width) * image.height; ++i) {
                    const aiTexel& t = embedded->pcData[i];
                    uint8_t* p = &image.pixels[i * 4];
                    p[0] = t.r, p[1] = t.g, p[2] = t.b, p[3] = t.a;
                }
            }
            return;
        }
        if (!context_.decodeImage || key.empty() || key[0] == '*')
            return;
        std::string file = key;
        std::replace(file.begin(), file.end(), '\\', '/');
        if (file[0] != '/' && !context_.folder.empty())
            file = context_.folder + "/" + file;
        if (!isRegularFile(file.c_str()))
            return;
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!bytes.empty())
            decode(bytes.data(), bytes.size(), image);
    }

    void decode(const uint8_t* data, std::size_t size, RgbaImage& image)
    {
        if (!context_.decodeImage(data, size, image) || image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != std::size_t(image.width) * image.height * 4)
            image = RgbaImage();
    }

    const aiScene& scene_;
    const ImportContext& context_;
    ImportReport& report_;
    std::map<std::string, RgbaImage> cache_;
    const aiMesh* mesh_ = nullptr;
    const RgbaImage* picture_ = nullptr;
    std::string pictureName_;
    bool useVertexColours_ = false;
    Colour fixed_;
};

class Converter {
public:
    Converter(const aiScene& scene, const ImportContext& context, const PolygonSink& sink,
              ImportReport& report)
        : scene_(scene), context_(context), sink_(sink), report_(report), colours_(scene, context, report)
    {
    }

    bool run(std::string& error)
    {
        std::vector<Instance> instances = collectInstances(scene_);
        std::size_t faces = 0;
        bool surface = false;
        for (const Instance& in : instances) {
            faces += in.mesh->mNumFaces;
            surface = surface || hasSurface(*in.mesh);
        }
        if (!surface) {
            error = faces > 0 ? "holds only points or lines, no faces" : "holds no faces";
            return false;
        }
        if (faces > context_.options.maxPolygons) {
            error = "has " + std::to_string(faces) + " faces, more than the " +
                    std::to_string(context_.options.maxPolygons) + " an object may have";
            return false;
        }
        settlePlacement(instances);
        ngonEncoded_ = writtenByAssimpAsGltf();
        totalFaces_ = faces;
        settleRounding(instances);
        for (const Instance& in : instances)
            if (!convert(in, error))
                return false;
        if (report_.polygons == 0) {
            error = "holds no face that makes a polygon (" + std::to_string(report_.degenerate) +
                    " degenerate)";
            return false;
        }
        return true;
    }

private:
    void settlePlacement(const std::vector<Instance>& instances)
    {
        const ImportOptions& o = context_.options;
        placement_.zUp = o.zUp;
        if (!o.fit) {
            placement_.factor = o.scale;
            return;
        }
        Vec lo{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
               std::numeric_limits<double>::max()};
        Vec hi{-lo[0], -lo[1], -lo[2]};
        for (const Instance& in : instances) {
            if (!hasSurface(*in.mesh))
                continue;
            if (in.identity) {
                // Placing is then a turn that swaps axes at most: the box of the placed
                // points is the placed box of the points, found without placing each one.
                Vec boxLo, boxHi;
                if (!rawBox(*in.mesh, boxLo, boxHi))
                    continue;
                for (const Vec& corner : {boxLo, boxHi}) {
                    const aiVector3D v{ai_real(corner[0]), ai_real(corner[1]), ai_real(corner[2])};
                    const Vec p = placement_.place(in, v);
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::min(lo[k], p[k]);
                        hi[k] = std::max(hi[k], p[k]);
                    }
                }
                continue;
            }
            for (unsigned i = 0; i < in.mesh->mNumVertices; ++i) {
                Vec p = placement_.place(in, in.mesh->mVertices[i]);
                if (!finite(p))
                    continue;
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], p[k]);
                    hi[k] = std::max(hi[k], p[k]);
                }
            }
        }
        if (lo[0] > hi[0])
            return;
        double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
        for (int k = 0; k < 3; ++k)
            placement_.centre[k] = (lo[k] + hi[k]) / 2;
        placement_.factor = extent > 0 && std::isfinite(extent) ? kFitExtent / extent : 1.0;
    }

    // glTF knows only triangles. The library writes a polygon as a fan of triangles that
    // share its first corner (the FB_ngon_encoding extension) and reads them back as
    // triangles, so its own files are recognised and their quads joined again.
    bool writtenByAssimpAsGltf() const
    {
        if (!scene_.mMetaData)
            return false;
        aiString format, generator;
        return scene_.mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format) &&
               scene_.mMetaData->Get(AI_METADATA_SOURCE_GENERATOR, generator) &&
               std::string(format.C_Str()).rfind("glTF", 0) == 0 &&
               std::string(generator.C_Str()).rfind("Open Asset Import Library", 0) == 0;
    }

    // Faces f and f + 1 as the quad they encode: two triangles a b c and a c d, with the face
    // after them starting elsewhere (three or more would be a larger polygon).
    static bool joinQuad(const aiMesh& mesh, unsigned f, unsigned quad[4])
    {
        if (f + 1 >= mesh.mNumFaces)
            return false;
        const aiFace& x = mesh.mFaces[f];
        const aiFace& y = mesh.mFaces[f + 1];
        if (x.mNumIndices != 3 || y.mNumIndices != 3 || x.mIndices[0] != y.mIndices[0] ||
            x.mIndices[2] != y.mIndices[1])
            return false;
        auto sameStart = [&](unsigned g) {
            return g < mesh.mNumFaces && mesh.mFaces[g].mNumIndices > 0 &&
                   mesh.mFaces[g].mIndices[0] == x.mIndices[0];
        };
        if (sameStart(f + 2) || (f > 0 && sameStart(f - 1)))
            return false;
        quad[0] = x.mIndices[0];
        quad[1] = x.mIndices[1];
        quad[2] = x.mIndices[2];
        quad[3] = y.mIndices[2];
        return true;
    }

    // The corners of each face of an instance in turn, placed, with the face's indices
    // into the mesh; what cannot be a face is counted once, when counting is asked for.
    template <class Visit>
    bool forEachFace(const Instance& in, bool count, Visit visit)
    {
        const aiMesh& mesh = *in.mesh;
        unsigned joined[4];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices < 3 || !face.mIndices) {
                report_.notFaces += count;
                continue;
            }
            if (ngonEncoded_ && joinQuad(mesh, f, joined)) {
                indices_.assign(joined, joined + 4);
                ++f;
            } else {
                indices_.assign(face.mIndices, face.mIndices + face.mNumIndices);
            }
            if (std::any_of(indices_.begin(), indices_.end(),
                            [&](unsigned i) { return i >= mesh.mNumVertices; })) {
                report_.degenerate += count;
                continue;
            }
            if (in.mirrored)
                std::reverse(indices_.begin(), indices_.end());
            // Turns the corners so that the first is the renderer's, when the face shows a bitmap.
            texture_ = count && colours_.picture() ? bitmapOf(mesh, indices_) : nullptr;
            corners_.clear();
            for (unsigned i : indices_)
                placement_.placeInto(in, mesh.mVertices[i], corners_.emplace_back());
            if (!visit(f))
                return false;
        }
        return true;
    }

    // Whole numbers only when they cost no face its shape; the faces they would harm are
    // counted for the summary.
    void settleRounding(const std::vector<Instance>& instances)
    {
        switch (context_.options.rounding) {
        case Rounding::Always:
            round_ = true;
            return;
        case Rounding::Never:
            round_ = false;
            return;
        case Rounding::WhereHarmless:
            break;
        }
        // Whole numbers already, as models of the editor's own making are: nothing moves, and
        // the vertices tell it without a walk through the faces.
        bool whole = true;
        Vec p;
        for (const Instance& in : instances)
            for (unsigned i = 0; i < in.mesh->mNumVertices && whole; ++i) {
                placement_.placeInto(in, in.mesh->mVertices[i], p);
                whole = p[0] == RoundHalfAway(p[0]) && p[1] == RoundHalfAway(p[1]) &&
                        p[2] == RoundHalfAway(p[2]);
            }
        if (whole) {
            round_ = true;
            return;
        }
        std::size_t face = 0;
        for (const Instance& in : instances) {
            const bool searched = forEachFace(in, false, [&](unsigned) {
                ++face;
                report_.harm = JudgeRounding(corners_.data(), corners_.size());
                return report_.harm == RoundingHarm::None;
            });
            if (!searched) {
                report_.keptFractions = true;
                report_.harmedFace = face;
                break;
            }
        }
        round_ = !report_.keptFractions;
    }

    bool convert(const Instance& in, std::string& error)
    {
        const aiMesh& mesh = *in.mesh;
        colours_.begin(mesh);
        std::string base = ToLatin1(mesh.mName.length > 0 ? mesh.mName.C_Str() : in.name);
        NumberedNames names(base.empty() ? "Polygon" : std::move(base));
        lone_ = makesOnePolygon(mesh);
        return forEachFace(in, true, [&](unsigned) {
            if (context_.progress && (++done_ & 0xFFFF) == 0)
                context_.progress(0.5f + 0.5f * float(done_) / float(totalFaces_));
            // Infinite corners go to the edge of the editor's range before any shape is
            // judged; a corner that is not a number has no place at all.
            bool finite = true;
            for (const Vec& p : corners_)
                finite = finite && std::isfinite(p[0] + p[1] + p[2]);   // a sum overflows seldom
            clampedFace_ = false;
            if (!finite && !bringIntoRange()) {
                ++report_.degenerate;
                return true;
            }
            const Colour colour = colours_.of(indices_.data(), unsigned(indices_.size()));
            if (corners_.size() == 3 || (corners_.size() == 4 && IsConvexQuad(corners_.data()))) {
                const Outcome outcome = emit(corners_, nullptr, colour, names);
                report_.degenerate += outcome == Outcome::Dropped;
                return outcome != Outcome::Failed || refused(error);
            }
            // The pieces of a face show no rectangle of its picture as the renderer maps one.
            texture_ = nullptr;
            pieces_.clear();
            if (!tessellator_.split(corners_, pieces_) || pieces_.empty()) {
                ++report_.degenerate;
                return true;
            }
            bool any = false;
            for (const Piece& piece : pieces_) {
                const Outcome outcome = emit(corners_, &piece, colour, names);
                if (outcome == Outcome::Failed)
                    return refused(error);
                any = any || outcome == Outcome::Written;
            }
            ++(any ? report_.split : report_.degenerate);
            return true;
        });
    }

    // False for a corner that is not a number; infinite coordinates go to the range's edge.
    bool bringIntoRange()
    {
        for (Vec& p : corners_)
            for (double& v : p) {
                if (std::isnan(v))
                    return false;
                if (std::isinf(v)) {
                    v = std::copysign(double(kEditorLimit), v);
                    clampedFace_ = true;
                }
            }
        return true;
    }

    bool refused(std::string& error)
    {
        error = "not enough memory or the output cannot be written";
        return false;
    }

    enum class Outcome { Written, Dropped, Failed };

    Outcome emit(const std::vector<Vec>& corners, const Piece* piece, const Colour& colour,
                 NumberedNames& names)
    {
        const int count = piece ? 3 : int(corners.size());
        tElement& e = element_;   // reused, so that its texts keep their storage
        std::fill(e.vertex + 3 * count, std::end(e.vertex), 0.0f);
        bool clamped = clampedFace_, rounded = false;
        // The corners as stored, for the area test, kept beside the record's floats rather
        // than read back from them: a load of two floats just stored one by one waits for
        // the stores to reach the cache.
        Vec stored[4];
        // Zero times a coordinate is zero unless it is infinite (the corners are numbers):
        // one test for the face.
        float zero = 0.0f;
        for (int k = 0; k < count; ++k) {
            // One coordinate at a time: the corner was just stored so, and a wider load of
            // it would wait likewise.
            const Vec& p = corners[piece ? (*piece)[k] : k];
            for (int a = 0; a < 3; ++a) {
                double v = p[a];
                if (round_) {
                    const double whole = RoundHalfAway(v);
                    rounded = rounded || whole != v;
                    v = whole;
                    if (v < -kEditorLimit || v > kEditorLimit) {
                        v = std::clamp(v, double(-kEditorLimit), double(kEditorLimit));
                        clamped = true;
                    }
                }
                const float f = float(v);
                e.vertex[3 * k + a] = f;
                stored[k][a] = f;
                zero += f * 0.0f;
            }
        }
        if (zero != 0.0f) {
            for (int k = 0; k < count; ++k)
                for (int a = 0; a < 3; ++a)
                    if (!std::isfinite(e.vertex[3 * k + a])) {
                        // Beyond what a float holds: as far as the editor's range reaches.
                        e.vertex[3 * k + a] = std::copysign(kEditorLimit, e.vertex[3 * k + a]);
                        stored[k][a] = e.vertex[3 * k + a];
                        clamped = true;
                    }
        }
        if (!HasArea(stored, std::size_t(count)))
            return Outcome::Dropped;
        e.type = count == 3 ? "Triangle" : "Quad";
        e.red = colour.r;
        e.green = colour.g;
        e.blue = colour.b;
        e.color = colour.r | colour.g << 8 | colour.b << 16;
        nameAndTexture(e, names);
        if (!sink_(e))
            return Outcome::Failed;
        report_.clamped += clamped;
        report_.rounded += rounded;
        ++report_.polygons;
        ++(count == 3 ? report_.triangles : report_.quads);
        return Outcome::Written;
    }

    // A lone polygon keeps its group's name as it is; the faces of a larger group are
    // numbered after it. A face that shows a bitmap (only one of at most four corners can)
    // is textured instead of coloured.
    void nameAndTexture(tElement& e, NumberedNames& names)
    {
        if (lone_)
            e.name.assign(std::string_view(names.base()).substr(0, kLoneNameBytes));
        else
            names.next(e.name);
        e.texture.clear();
        if (texture_) {
            e.red = e.green = e.blue = e.color = -1;
            e.texture = *texture_;
            ++report_.textured;
        }
    }

    // Whether the mesh holds one face of three or four corners (a quad of ours in glTF is
    // two triangles), which makes one polygon.
    bool makesOnePolygon(const aiMesh& mesh) const
    {
        unsigned joined[4];
        const auto small = [&](unsigned f) {
            return mesh.mFaces[f].mNumIndices == 3 || mesh.mFaces[f].mNumIndices == 4;
        };
        if (mesh.mNumFaces == 1)
            return small(0);
        return mesh.mNumFaces == 2 && ngonEncoded_ && joinQuad(mesh, 0, joined);
    }

    // The bitmap a face shows when its texture coordinates cut a rectangle of its picture as
    // the renderer maps one; the corners are then turned so that the face's first corner is
    // the renderer's. None for any other face.
    const std::string* bitmapOf(const aiMesh& mesh, std::vector<unsigned>& indices)
    {
        const RgbaImage* picture = colours_.picture();
        if (!picture || !context_.bitmaps || indices.size() > 4 || !mesh.HasTextureCoords(0))
            return nullptr;
        double uv[4][2];
        for (std::size_t k = 0; k < indices.size(); ++k) {
            uv[k][0] = mesh.mTextureCoords[0][indices[k]].x;
            uv[k][1] = mesh.mTextureCoords[0][indices[k]].y;
        }
        auto cut = FindPictureCut(uv, int(indices.size()), picture->width, picture->height);
        if (!cut)
            return nullptr;
        const auto key = std::make_tuple(picture, cut->x, cut->y, cut->ax, cut->ay, cut->bx, cut->by);
        auto found = cutNames_.find(key);
        if (found == cutNames_.end())
            found = cutNames_.emplace(key, context_.bitmaps->nameFor(CutPicture(*picture, *cut),
                                                                     colours_.pictureName()))
                        .first;
        if (found->second.empty())
            return nullptr;
        std::rotate(indices.begin(), indices.begin() + cut->start, indices.end());
        return &found->second;
    }

    const aiScene& scene_;
    const ImportContext& context_;
    const PolygonSink& sink_;
    ImportReport& report_;
    ColourSource colours_;
    std::map<std::tuple<const RgbaImage*, int, int, int, int, int, int>, std::string> cutNames_;
    static constexpr std::size_t kLoneNameBytes = 30;
    bool lone_ = false;                        // the mesh makes one polygon
    const std::string* texture_ = nullptr;     // the bitmap of the face being converted
    Placement placement_;
    tElement element_;
    Tessellator tessellator_;
    std::vector<unsigned> indices_;
    std::vector<Vec> corners_;
    std::vector<Piece> pieces_;
    bool round_ = false;
    bool clampedFace_ = false;
    bool ngonEncoded_ = false;
    std::size_t totalFaces_ = 0;
    std::size_t done_ = 0;
};

// The library's messages may run over several lines; ours are one line.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text.empty() ? "not a readable model" : text;
}

// The library's reasons in the program's words, its own text after them where it tells more.
std::string importFailure(const std::string& text)
{
    const auto has = [&](const char* words) { return text.find(words) != std::string::npos; };
    // The library sizes its arrays by the counts a file claims; a claim past the memory
    // there is reaches us as the text of the exception it caught.
    if (text == "std::bad_alloc")
        return "not enough memory for what the file claims to hold";
    if (text.rfind("broken file: ", 0) == 0)
        return text;
    if (has("No suitable reader found"))
        return "unknown or unsupported file format";
    if (has("Unable to open file"))
        return "cannot be read";
    if (has("Validation failed"))
        return "is broken: its parts do not fit together (" + text + ")";
    return "is broken, truncated or of another format (" + text + ")";
}

// Some readers label a mesh's kinds of primitive wrongly (OBJ's, for a face of one or two
// corners), and the validation would refuse the whole file for it: the labels are set from
// the faces first, so points and lines are skipped as in any other file.
void labelPrimitives(const aiScene& scene)
{
    for (unsigned m = 0; scene.mMeshes && m < scene.mNumMeshes; ++m) {
        aiMesh* mesh = scene.mMeshes[m];
        if (!mesh || !mesh->mFaces)
            continue;
        unsigned types = 0;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const unsigned n = mesh->mFaces[f].mNumIndices;
            types |= n == 1   ? aiPrimitiveType_POINT
                     : n == 2 ? aiPrimitiveType_LINE
                     : n == 3 ? aiPrimitiveType_TRIANGLE
                              : aiPrimitiveType_POLYGON;
        }
        mesh->mPrimitiveTypes = types;
    }
}

// Validation, after the labels are right; read with no steps, the scene is the reader's own.
const aiScene* validated(Assimp::Importer& importer, const aiScene* scene)
{
    if (!scene)
        return nullptr;
    labelPrimitives(*scene);
    return importer.ApplyPostProcessing(aiProcess_ValidateDataStructure);
}

bool finish(Assimp::Importer& importer, const aiScene* scene, const ImportContext& context,
            const PolygonSink& sink, ImportReport& report, std::string& error)
{
    if (!scene) {
        error = importFailure(oneLine(importer.GetErrorString()));
        return false;
    }
    try {
        if (!ConvertScene(*scene, context, sink, report, error))
            return false;
    } catch (const std::bad_alloc&) {
        error = "not enough memory";
        return false;
    }
    if (context.progress)
        context.progress(1.0f);
    return true;
}

} // namespace

bool ConvertScene(const aiScene& scene, const ImportContext& context, const PolygonSink& sink,
                  ImportReport& report, std::string& error)
{
    report = ImportReport();
    Converter converter(scene, context, sink, report);
    return converter.run(error);
}

bool ImportMeshFile(const std::string& fileName, const ImportContext& context,
                    const PolygonSink& sink, ImportReport& report, std::string& error)
{
    const uint64_t memory = context.memory ? *context.memory : MemoryBudget::FromSystem().left();
    const DataLimit limit(memory);
    try {
        if (!CheckSizeClaims(fileName, memory, context.options.maxPolygons, error))
            return false;
    } catch (const std::bad_alloc&) {
        error = "not enough memory";   // a text header (glTF's JSON) larger than the budget
        return false;
    }
    Assimp::Importer importer;
    importer.SetIOHandler(new RegularFileSystem);
    // The importer owns its progress handler and deletes it.
    importer.SetProgressHandler(new ProgressRelay(context.progress));
    const aiScene* scene = nullptr;
    try {
        scene = validated(importer, importer.ReadFile(fileName, 0));
    } catch (const std::exception& e) {
        error = importFailure(oneLine(e.what()));
        return false;
    }
    return finish(importer, scene, context, sink, report, error);
}

namespace {

// Leaves the importer only the reader of the named format. Without this, when that reader
// refuses the bytes, the library offers them to every other reader it has by their content,
// and some of those crash on broken input. The readers taken out are returned to be deleted,
// since the importer no longer owns them.
std::vector<std::unique_ptr<Assimp::BaseImporter>> keepOnlyReaderOf(Assimp::Importer& importer,
                                                                    const std::string& extension)
{
    const Assimp::BaseImporter* keep = importer.GetImporter(extension.c_str());
    std::vector<Assimp::BaseImporter*> others;
    for (std::size_t i = 0; i < importer.GetImporterCount(); ++i)
        if (importer.GetImporter(i) != keep)
            others.push_back(importer.GetImporter(i));
    std::vector<std::unique_ptr<Assimp::BaseImporter>> removed;
    for (Assimp::BaseImporter* reader : others)
        if (importer.UnregisterLoader(reader) == aiReturn_SUCCESS)
            removed.emplace_back(reader);
    return removed;
}

} // namespace

bool ImportMeshMemory(const uint8_t* data, std::size_t size, const std::string& hint,
                      const ImportContext& context, const PolygonSink& sink,
                      ImportReport& report, std::string& error)
{
    Assimp::Importer importer;
    importer.SetIOHandler(new RegularFileSystem);
    const auto removed = keepOnlyReaderOf(importer, hint);
    const aiScene* scene = nullptr;
    try {
        scene = validated(importer, importer.ReadFileFromMemory(data, size, 0, hint.c_str()));
    } catch (const std::exception& e) {
        error = importFailure(oneLine(e.what()));
        return false;
    }
    return finish(importer, scene, context, sink, report, error);
}

bool CanImportExtension(const std::string& extension)
{
    if (extension.empty() || extension == "3do")
        return false;
    Assimp::Importer importer;
    return importer.IsExtensionSupported("." + extension);
}
