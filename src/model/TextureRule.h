#pragma once

#include "DynArray.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

// GL enumeration values the texture rule passes on; the model itself links no GL.
inline constexpr int kGlLinear = 0x2601;
inline constexpr int kGlRepeat = 0x2901;

// Loads a bitmap as a texture: file name, minification filter, magnification filter,
// wrap mode -> texture name, 0 on failure.
using TextureLoader = std::function<uint32_t(const std::string& fileName, int minFilter,
                                             int magFilter, int wrapMode)>;

// The texture name a polygon takes: all bits set when coloured; else the name of the first
// polygon in the list with the same texture file name; else the loader's result.
uint32_t SettleTextureId(const CDynArray& list, const tElement& element, const TextureLoader& load);

// The first texture name per texture file name of a list that only grows at its end, so
// that settling many appended polygons walks the list once instead of once per polygon.
// Gives exactly what FindTextureId would give on the list as it stands.
class TextureIndex {
public:
    explicit TextureIndex(const CDynArray& list);

    bool find(std::string_view texture, uint32_t& textureId) const;
    // Makes the element's texture name the one already in the list, when there is one, so
    // that polygons read from a file share it instead of holding a copy each; false when
    // no polygon of the list has that name.
    bool shareTexture(tElement& element) const;
    // Call for each polygon appended to the list after the index was made.
    void noteAppended(const tElement& element);

private:
    struct First {
        uint32_t textureId;
        tSharedText texture;
    };
    std::unordered_map<std::string_view, First> first_;
};

// The texture rule as above, looking up through an index of the list instead of the list.
uint32_t SettleTextureId(const TextureIndex& index, const tElement& element,
                         const TextureLoader& load);
