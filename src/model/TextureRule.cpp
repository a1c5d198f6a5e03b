#include "TextureRule.h"

namespace {

template <typename Find>
uint32_t settle(const tElement& element, const TextureLoader& load, Find find)
{
    if (!element.isTextured())
        return kNoTexture;
    uint32_t id = 0;
    if (find(element.texture, id))
        return id;
    return load ? load(element.texture, kGlLinear, kGlLinear, kGlRepeat) : 0;
}

} // namespace

uint32_t SettleTextureId(const CDynArray& list, const tElement& element, const TextureLoader& load)
{
    return settle(element, load, [&](const std::string& texture, uint32_t& id) {
        return list.FindTextureId(texture, id);
    });
}

TextureIndex::TextureIndex(const CDynArray& list)
{
    for (const tElement* node = list.First(); node; node = node->next)
        noteAppended(*node);
}

bool TextureIndex::find(const std::string& texture, uint32_t& textureId) const
{
    auto it = first_.find(texture);
    if (it == first_.end())
        return false;
    textureId = it->second;
    return true;
}

void TextureIndex::noteAppended(const tElement& element)
{
    // emplace keeps an existing entry: the first polygon with a name wins, as in the list walk.
    first_.emplace(element.texture, element.textureId);
}

uint32_t SettleTextureId(const TextureIndex& index, const tElement& element,
                         const TextureLoader& load)
{
    return settle(element, load, [&](const std::string& texture, uint32_t& id) {
        return index.find(texture, id);
    });
}
