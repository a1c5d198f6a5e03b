#include "Export.h"

#include "BitmapFile.h"
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
#include <map>
#include <memory>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The texture coordinates the renderer gives a textured polygon's corners.
constexpr float kTriangleUv[3][2] = {{0, 0}, {1, 0}, {0, 1}};
constexpr float kQuadUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

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
    bool textured = false;
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
        std::map<std::string, std::size_t> index;
        int remaining = list_.Count();
        for (const tElement* p = list_.First(); p && remaining > 0; p = p->next, --remaining) {
            std::string key;
            if (!single)
                key = p->isTextured() ? "t" + p->texture : "c" + std::to_string(p->red) + "," +
                                                               std::to_string(p->green) + "," +
                                                               std::to_string(p->blue);
            auto [it, added] = index.emplace(key, groups_.size());
            if (added) {
                groups_.emplace_back();
                groups_.back().textured = !single && p->isTextured();
                groups_.back().sample = p;
            }
            Group& g = groups_[it->second];
            g.polygons.push_back(p);
            g.corners += p->isTriangle() ? 3 : 4;
        }

        auto scene = std::make_unique<aiScene>();
        scene->mRootNode = new aiNode("3D-Vorlan object");
        scene->mNumMeshes = unsigned(groups_.size());
        scene->mMeshes = new aiMesh*[groups_.size()]();
        scene->mNumMaterials = unsigned(groups_.size());
        scene->mMaterials = new aiMaterial*[groups_.size()]();
        scene->mRootNode->mNumMeshes = unsigned(groups_.size());
        scene->mRootNode->mMeshes = new unsigned[groups_.size()];
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            scene->mMeshes[i] = mesh(groups_[i], single && exporter_ == "ply");
            scene->mMeshes[i]->mMaterialIndex = unsigned(i);
            scene->mMaterials[i] = material(groups_[i]);
            scene->mRootNode->mMeshes[i] = unsigned(i);
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
    aiMesh* mesh(const Group& g, bool cornerColours)
    {
        auto* m = new aiMesh;
        m->mName = g.textured ? Latin1ToUtf8(g.sample->texture) : std::string("polygons");
        m->mNumVertices = g.corners;
        m->mVertices = new aiVector3D[g.corners];
        m->mNormals = new aiVector3D[g.corners];
        if (g.textured) {
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

    aiMaterial* material(const Group& g)
    {
        auto* m = new aiMaterial;
        int twoSided = 1;   // the window draws back faces unless culling is switched on
        m->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
        aiColor3D diffuse(1, 1, 1);
        std::string name = "object";
        if (g.textured) {
            name = Latin1ToUtf8(g.sample->texture);
            aiString path;
            if (textureReference(g.sample->texture, path))
                m->AddProperty(&path, AI_MATKEY_TEXTURE_DIFFUSE(0));
        } else if (exporter_ != "ply" && exporter_ != "stlb") {
            const tElement& p = *g.sample;
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
    std::vector<std::unique_ptr<aiTexture>> textures_;
    std::map<std::string, aiColor4D> meanColour_;
};

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
