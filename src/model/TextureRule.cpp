#include "TextureRule.h"

namespace {

template <typename Find>
uint32_t settle(const tElement& element, const TextureLoader& load, Find find)
{
    if (!element.isTextured())
        return kNoTexture;
    uint32_t id = 0;
    if (find(element.texture.view(), id))
        return id;
    return load ? load(element.texture.str(), kGlLinear, kGlLinear, kGlRepeat) : 0;
}

} // namespace

uint32_t SettleTextureId(const CDynArray& list, const tElement& element, const TextureLoader& load)
{
    return settle(element, load, [&](std::string_view texture, uint32_t& id) {
        return list.FindTextureId(texture, id);
    });
}

TextureIndex::TextureIndex(const CDynArray& list)
{
    for (const tElement* node = list.First(); node; node = node->next)
        noteAppended(*node);
}

bool TextureIndex::find(std::string_view texture, uint32_t& textureId) const
{
    auto it = first_.find(texture);
    if (it == first_.end())
        return false;
    textureId = it->second.textureId;
    return true;
}

bool TextureIndex::shareTexture(tElement& element) const
{
    auto it = first_.find(element.texture.view());
    if (it == first_.end())
        return false;
    element.texture = it->second.texture;
    return true;
}

void TextureIndex::noteAppended(const tElement& element)
{
    // The first polygon with a name wins, as in the list walk. The key views the entry's own
    // shared text, which lives as long as the entry.
    if (first_.count(element.texture.view()))
        return;
    First entry{element.textureId, element.texture};
    const std::string_view key = entry.texture.view();
    first_.emplace(key, std::move(entry));
}

uint32_t SettleTextureId(const TextureIndex& index, const tElement& element,
                         const TextureLoader& load)
{
    return settle(element, load, [&](std::string_view texture, uint32_t& id) {
        return index.find(texture, id);
    });
}
