#include "Export.h"

#include "BitmapFile.h"
#include "FileNames.h"
#include "Latin1.h"
#include "SafeSave.h"

#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <memory>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The texture coordinates the renderer gives a textured polygon's corners.
constexpr float kTriangleUv[3][2] = {{0, 0}, {1, 0}, {0, 1}};
constexpr float kQuadUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
constexpr std::size_t kMaxGltfMeshes = 1000;

// The exporter's streams write through the program's safe save; nothing is put in place
// before the exporter has written every file.
class SavedStream : public Assimp::IOStream {
public:
    explicit SavedStream(SafeSaveFile& file) : file_(file) {}
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* data, size_t size, size_t count) override
    {
        return file_.write(data, size * count) ? count : 0;
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override
    {
        const off_t base = origin == aiOrigin_SET ? 0 : origin == aiOrigin_CUR ? file_.offset() : file_.length();
        return file_.seek(base + off_t(offset)) ? aiReturn_SUCCESS : aiReturn_FAILURE;
    }
    size_t Tell() const override { return size_t(file_.offset()); }
    size_t FileSize() const override { return size_t(file_.length()); }
    void Flush() override {}

private:
    SafeSaveFile& file_;
};

struct OutputFile {
    std::string name;
    SafeSaveFile file;
};

class SavingSystem : public Assimp::IOSystem {
public:
    SavingSystem(std::vector<std::unique_ptr<OutputFile>>& files, std::string& failure)
        : files_(files), failure_(failure)
    {
    }
    bool Exists(const char* file) const override
    {
        struct stat st;
        return ::stat(file, &st) == 0;
    }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* file, const char* mode) override
    {
        if (!mode || mode[0] != 'w')
            return nullptr;
        auto output = std::make_unique<OutputFile>();
        output->name = file;
        if (!output->file.open(file)) {
            if (failure_.empty())
                failure_ = output->file.reason();
            return nullptr;
        }
        files_.push_back(std::move(output));
        return new SavedStream(files_.back()->file);
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }

private:
    std::vector<std::unique_ptr<OutputFile>>& files_;
    std::string& failure_;
};

struct Group {
    std::string name;                   // the mesh's and its node's
    std::size_t material = 0;
    bool textured = false;
    bool cornerColours = false;          // polygons of several colours
    const tElement* sample = nullptr;   // colour or texture of the group
    std::vector<const tElement*> polygons;
    unsigned corners = 0;
};

void faceNormal(const float* v, int corners, aiVector3D& n)
{
    // Newell's method, which also gives a sensible normal for a slightly bent quad.
    double x = 0, y = 0, z = 0;
    for (int i = 0; i < corners; ++i) {
        const float* a = v + 3 * i;
        const float* b = v + 3 * ((i + 1) % corners);
        x += double(a[1] - b[1]) * (a[2] + b[2]);
        y += double(a[2] - b[2]) * (a[0] + b[0]);
        z += double(a[0] - b[0]) * (a[1] + b[1]);
    }
    double length = std::sqrt(x * x + y * y + z * z);
    if (length > 0)
        n = aiVector3D(float(x / length), float(y / length), float(z / length));
    else
        n = aiVector3D(0, 1, 0);
}

class SceneBuilder {
public:
    SceneBuilder(const CDynArray& list, const std::string& exporter, const ExportContext& context)
        : list_(list), exporter_(exporter), context_(context)
    {
    }

    std::unique_ptr<aiScene> build()
    {
        // PLY has no materials and STL no colours at all: one mesh with corner colours.
        const bool single = exporter_ == "ply" || exporter_ == "stlb";
        if (single) {
            groupAll();
        } else {
            groupRuns(true);
            // The glTF writer takes time by the square of its meshes (8,000 take over a
            // minute): past this many, names give way to order, and order to materials.
            const bool gltf = exporter_ == "glb2" || exporter_ == "gltf2";
            if (gltf && groups_.size() > kMaxGltfMeshes) {
                groupRuns(false);
                tell("polygon names left out (more than " + std::to_string(kMaxGltfMeshes) +
                     " groups)");
            }
            if (gltf && groups_.size() > kMaxGltfMeshes) {
                groupByMaterial();
                tell("polygons grouped by material, out of their order");
            }
        }

        auto scene = std::make_unique<aiScene>();
        scene->mRootNode = new aiNode("3D-Vorlan object");
        scene->mNumMeshes = unsigned(groups_.size());
        scene->mMeshes = new aiMesh*[groups_.size()]();
        scene->mNumMaterials = unsigned(samples_.size());
        scene->mMaterials = new aiMaterial*[samples_.size()]();
        for (std::size_t i = 0; i < samples_.size(); ++i)
            scene->mMaterials[i] = samples_[i] ? material(*samples_[i]) : cornerColourMaterial();
        if (single) {
            scene->mRootNode->mNumMeshes = 1;
            scene->mRootNode->mMeshes = new unsigned[1]{0};
        } else {
            // A node per group, named as its polygons are, for the formats that name nodes
            // rather than meshes.
            scene->mRootNode->mNumChildren = unsigned(groups_.size());
            scene->mRootNode->mChildren = new aiNode*[groups_.size()];
            for (std::size_t i = 0; i < groups_.size(); ++i) {
                aiNode* node = new aiNode(Latin1ToUtf8(groups_[i].name));
                node->mParent = scene->mRootNode;
                node->mNumMeshes = 1;
                node->mMeshes = new unsigned[1]{unsigned(i)};
                scene->mRootNode->mChildren[i] = node;
            }
        }
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            scene->mMeshes[i] = mesh(groups_[i], groups_[i].cornerColours || (single && exporter_ == "ply"));
            scene->mMeshes[i]->mMaterialIndex = unsigned(groups_[i].material);
        }
        if (!textures_.empty()) {
            scene->mNumTextures = unsigned(textures_.size());
            scene->mTextures = new aiTexture*[textures_.size()];
            for (std::size_t i = 0; i < textures_.size(); ++i)
                scene->mTextures[i] = textures_[i].release();
        }
        return scene;
    }

private:
    void tell(const std::string& what)
    {
        if (context_.loss)
            *context_.loss = what;
    }

    void add(Group& g, const tElement* p)
    {
        g.polygons.push_back(p);
        g.corners += p->isTriangle() ? 3 : 4;
    }

    void groupAll()
    {
        groups_.emplace_back();
        groups_.back().name = "polygons";
        groups_.back().sample = list_.First();
        samples_.push_back(list_.First());
        int remaining = list_.Count();
        for (const tElement* p = list_.First(); p && remaining > 0; p = p->next, --remaining)
            add(groups_.back(), p);
    }

    // Polygons go in list order, each group a run of one material. The import numbers the
    // faces of a group after its name and keeps a lone face's name as it is, so a run named
    // "Side 1", "Side 2", ... is one group "Side", and any other polygon a group of its own.
    void groupRuns(bool byName)
    {
        groups_.clear();
        samples_.clear();
        std::map<std::string, std::size_t> materials;
        std::vector<const tElement*> polygons;
        int remaining = list_.Count();
        for (const tElement* p = list_.First(); p && remaining > 0; p = p->next, --remaining)
            polygons.push_back(p);
        for (std::size_t i = 0; i < polygons.size();) {
            const tElement* p = polygons[i];
            groups_.emplace_back();
            Group& g = groups_.back();
            g.textured = p->isTextured();
            g.sample = p;
            std::size_t end = i + 1;
            const std::string_view name = p->name.view();
            const std::string base = name.size() > 2 && name.ends_with(" 1")
                                         ? std::string(name.substr(0, name.size() - 2))
                                         : std::string();
            if (!byName)
                while (end < polygons.size() && sameKind(*polygons[end], *p))
                    ++end;
            else if (!base.empty())
                while (end < polygons.size() && sameKind(*polygons[end], *p) &&
                       polygons[end]->name == base + " " + std::to_string(end - i + 1))
                    ++end;
            g.name = !byName ? std::string("polygons") : end - i > 1 ? base : p->name;
            for (; i < end; ++i) {
                add(g, polygons[i]);
                g.cornerColours = g.cornerColours || !sameColour(*polygons[i], *p);
            }
            // A run of several colours takes them as corner colours under one white
            // material: a mesh per colour change made large objects of mixed colours
            // thousands of meshes, which the glTF writer takes hours over.
            const std::string key = g.textured        ? "t" + p->texture
                                    : g.cornerColours ? std::string("v")
                                                      : "c" + std::to_string(p->red) + "," +
                                                            std::to_string(p->green) + "," +
                                                            std::to_string(p->blue);
            auto [at, added] = materials.emplace(key, samples_.size());
            if (added)
                samples_.push_back(g.cornerColours ? nullptr : p);
            g.material = at->second;
        }
    }

    // One group of each material, the polygons in list order within it.
    void groupByMaterial()
    {
        groups_.clear();
        samples_.clear();
        std::map<std::string, std::size_t> index;
        int remaining = list_.Count();
        for (const tElement* p = list_.First(); p && remaining > 0; p = p->next, --remaining) {
            const std::string key = p->isTextured() ? "t" + p->texture
                                                    : "c" + std::to_string(p->red) + "," +
                                                          std::to_string(p->green) + "," +
                                                          std::to_string(p->blue);
            auto [at, added] = index.emplace(key, groups_.size());
            if (added) {
                groups_.emplace_back();
                groups_.back().name = "polygons";
                groups_.back().material = samples_.size();
                groups_.back().textured = p->isTextured();
                groups_.back().sample = p;
                samples_.push_back(p);
            }
            add(groups_[at->second], p);
        }
    }

    // Polygons one mesh can hold: coloured ones, or ones of one bitmap.
    static bool sameKind(const tElement& a, const tElement& b)
    {
        if (a.isTextured() || b.isTextured())
            return a.isTextured() && b.isTextured() && a.texture == b.texture;
        return true;
    }

    static bool sameColour(const tElement& a, const tElement& b)
    {
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }

    aiMesh* mesh(const Group& g, bool cornerColours)
    {
        auto* m = new aiMesh;
        m->mName = Latin1ToUtf8(g.name);
        m->mNumVertices = g.corners;
        m->mVertices = new aiVector3D[g.corners];
        m->mNormals = new aiVector3D[g.corners];
        // The glTF writer joins corners of equal place, normal and texture coordinates, and
        // compares no corner colours: corners of different polygons would then share one
        // colour, and a polygon's triangles one corner with the next polygon's, so that
        // the quads cannot be told apart when read back. Untextured polygons therefore get
        // texture coordinates of their own, which nothing reads.
        const bool apart = !g.textured && (exporter_ == "glb2" || exporter_ == "gltf2");
        if (g.textured || apart) {
            m->mTextureCoords[0] = new aiVector3D[g.corners];
            m->mNumUVComponents[0] = 2;
        }
        if (cornerColours)
            m->mColors[0] = new aiColor4D[g.corners];
        m->mNumFaces = unsigned(g.polygons.size());
        m->mFaces = new aiFace[g.polygons.size()];
        unsigned at = 0;
        bool quads = false;
        for (std::size_t f = 0; f < g.polygons.size(); ++f) {
            const tElement& p = *g.polygons[f];
            const int corners = p.isTriangle() ? 3 : 4;
            quads = quads || corners == 4;
            aiVector3D normal;
            faceNormal(p.vertex, corners, normal);
            aiFace& face = m->mFaces[f];
            face.mNumIndices = unsigned(corners);
            face.mIndices = new unsigned[corners];
            aiColor4D colour = cornerColours ? colourOf(p) : aiColor4D();
            for (int k = 0; k < corners; ++k, ++at) {
                face.mIndices[k] = at;
                m->mVertices[at] = aiVector3D(p.vertex[3 * k], p.vertex[3 * k + 1], p.vertex[3 * k + 2]);
                m->mNormals[at] = normal;
                if (g.textured) {
                    const float* uv = corners == 3 ? kTriangleUv[k] : kQuadUv[k];
                    m->mTextureCoords[0][at] = aiVector3D(uv[0], uv[1], 0);
                } else if (apart) {
                    m->mTextureCoords[0][at] = aiVector3D(float(f), float(k), 0);
                }
                if (cornerColours)
                    m->mColors[0][at] = colour;
            }
        }
        m->mPrimitiveTypes = aiPrimitiveType_TRIANGLE | (quads ? aiPrimitiveType_POLYGON : 0);
        return m;
    }

    // A coloured polygon's colour; a textured one takes its bitmap's mean colour, or white
    // (as the renderer draws it) when the bitmap cannot be read.
    aiColor4D colourOf(const tElement& p)
    {
        if (!p.isTextured())
            return aiColor4D(p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f, 1.0f);
        auto found = meanColour_.find(p.texture);
        if (found != meanColour_.end())
            return found->second;
        aiColor4D mean(1, 1, 1, 1);
        if (auto bitmap = ReadBitmapFile(texturePath(p.texture))) {
            double sum[3] = {0, 0, 0};
            for (int y = 0; y < bitmap->height; ++y)
                for (int x = 0; x < bitmap->width; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += bitmap->pixels[std::size_t(y) * bitmap->rowStride() + 3 * x + c];
            double n = double(bitmap->width) * bitmap->height * 255.0;
            mean = aiColor4D(float(sum[2] / n), float(sum[1] / n), float(sum[0] / n), 1.0f);
        }
        return meanColour_[p.texture] = mean;
    }

    std::string texturePath(const std::string& name) const
    {
        return context_.textureFolder.empty() ? name : context_.textureFolder + "/" + name;
    }

    aiMaterial* cornerColourMaterial()
    {
        auto* m = new aiMaterial;
        int twoSided = 1;
        m->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
        aiColor3D white(1, 1, 1);
        m->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
        aiString name("corner_colours");
        m->AddProperty(&name, AI_MATKEY_NAME);
        return m;
    }

    aiMaterial* material(const tElement& sample)
    {
        auto* m = new aiMaterial;
        int twoSided = 1;   // the window draws back faces unless culling is switched on
        m->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
        aiColor3D diffuse(1, 1, 1);
        std::string name = "object";
        if (sample.isTextured() && exporter_ != "ply" && exporter_ != "stlb") {
            name = Latin1ToUtf8(sample.texture);
            aiString path;
            if (textureReference(sample.texture, path))
                m->AddProperty(&path, AI_MATKEY_TEXTURE_DIFFUSE(0));
        } else if (exporter_ != "ply" && exporter_ != "stlb") {
            const tElement& p = sample;
            diffuse = aiColor3D(p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f);
            char text[32];
            std::snprintf(text, sizeof text, "colour_%02x%02x%02x", unsigned(p.red & 0xFF),
                          unsigned(p.green & 0xFF), unsigned(p.blue & 0xFF));
            name = text;
        }
        aiString materialName(name);
        m->AddProperty(&materialName, AI_MATKEY_NAME);
        m->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
        return m;
    }

    // OBJ names the bitmap beside it; glTF carries the picture itself, as PNG.
    bool textureReference(const std::string& texture, aiString& path)
    {
        if (exporter_ == "obj") {
            path = aiString(Latin1ToUtf8(texture));
            return true;
        }
        if (!context_.encodePng)
            return false;
        auto bitmap = ReadBitmapFile(texturePath(texture));
        if (!bitmap)
            return false;
        // The bitmap's rows run from the bottom up, as the renderer uploads them; PNG's
        // from the top down, and the exporter turns the texture coordinates to match.
        std::vector<uint8_t> rgb(std::size_t(bitmap->width) * bitmap->height * 3);
        for (int y = 0; y < bitmap->height; ++y) {
            const uint8_t* row = &bitmap->pixels[std::size_t(bitmap->height - 1 - y) * bitmap->rowStride()];
            uint8_t* out = &rgb[std::size_t(y) * bitmap->width * 3];
            for (int x = 0; x < bitmap->width; ++x) {
                out[3 * x] = row[3 * x + 2];
                out[3 * x + 1] = row[3 * x + 1];
                out[3 * x + 2] = row[3 * x];
            }
        }
        std::vector<uint8_t> png;
        if (!context_.encodePng(bitmap->width, bitmap->height, rgb, png) || png.empty())
            return false;
        auto embedded = std::make_unique<aiTexture>();
        embedded->mWidth = unsigned(png.size());
        embedded->mHeight = 0;
        std::strcpy(embedded->achFormatHint, "png");
        embedded->pcData = reinterpret_cast<aiTexel*>(new uint8_t[png.size()]);
        std::memcpy(embedded->pcData, png.data(), png.size());
        path = aiString("*" + std::to_string(textures_.size()));
        textures_.push_back(std::move(embedded));
        return true;
    }

    const CDynArray& list_;
    const std::string& exporter_;
    const ExportContext& context_;
    std::vector<Group> groups_;
    std::vector<const tElement*> samples_;   // one polygon of each material
    std::vector<std::unique_ptr<aiTexture>> textures_;
    std::map<std::string, aiColor4D> meanColour_;
};

std::vector<uint8_t> contentsOf(const std::string& file)
{
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

// An OBJ names its bitmaps without a folder, so they must lie beside it: each one the object
// uses is staged beside the target with the exporter's files, unless the same bytes are
// there already. A bitmap that cannot be read is left out, as the window shows it white.
bool stageBitmaps(const CDynArray& list, const std::string& target, const ExportContext& context,
                  std::vector<std::unique_ptr<OutputFile>>& files, std::string& error)
{
    std::set<std::string> names;
    int remaining = list.Count();
    for (const tElement* p = list.First(); p && remaining > 0; p = p->next, --remaining)
        if (p->isTextured() && !p->texture.empty() && p->texture.view().find('/') == std::string::npos &&
            p->texture != "." && p->texture != "..")
            names.insert(p->texture);
    const std::string folder = FolderOf(target);
    for (const std::string& name : names) {
        const std::string from = context.textureFolder.empty() ? name : context.textureFolder + "/" + name;
        const std::string to = folder + "/" + name;
        if (sameFile(from, to))
            continue;
        const std::vector<uint8_t> bytes = contentsOf(from);
        if (bytes.empty() || contentsOf(to) == bytes)
            continue;
        auto output = std::make_unique<OutputFile>();
        output->name = to;
        if (!output->file.open(to) || !output->file.write(bytes.data(), bytes.size())) {
            error = to + ": " + output->file.reason();
            return false;
        }
        files.push_back(std::move(output));
    }
    return true;
}

} // namespace

std::string ExporterFor(const std::string& extension)
{
    static const std::map<std::string, std::string> exporters = {
        {"obj", "obj"}, {"stl", "stlb"}, {"ply", "ply"}, {"glb", "glb2"}, {"gltf", "gltf2"}};
    auto found = exporters.find(extension);
    return found == exporters.end() ? std::string() : found->second;
}

bool ExportObject(const CDynArray& list, const std::string& target, const std::string& exporter,
                  const ExportContext& context, std::string& error)
{
    if (list.Count() == 0) {
        error = "the object has no polygons";
        return false;
    }
    std::vector<std::unique_ptr<OutputFile>> files;
    std::string failure;
    try {
        std::unique_ptr<aiScene> scene = SceneBuilder(list, exporter, context).build();
        Assimp::Exporter writer;
        writer.SetIOHandler(new SavingSystem(files, failure));
        if (writer.Export(scene.get(), exporter, target) != AI_SUCCESS) {
            error = failure.empty() ? std::string(writer.GetErrorString()) : failure;
            if (error.empty())
                error = "cannot be written";
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory";
        return false;
    }
    if (files.empty()) {
        error = failure.empty() ? "cannot be written" : failure;
        return false;
    }
    try {
        if (exporter == "obj" && !stageBitmaps(list, target, context, files, error))
            return false;
    } catch (const std::bad_alloc&) {
        error = "not enough memory";
        return false;
    }
    // The file named by the user goes last, so it never points at companions not yet there.
    std::stable_partition(files.begin(), files.end(),
                          [&](const auto& f) { return f->name != target; });
    for (auto& output : files) {
        if (!output->file.commit()) {
            error = output->file.reason();
            return false;
        }
    }
    return true;
}
