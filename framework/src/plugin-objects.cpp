// plugin-objects.cpp -- plug-in objects: the host's header followed by the class's
// zero-filled data block, constructor at creation, destructor once at the last release.
#include "plugin-services.h"
#include "rb/runtime.h"

#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace rb {

namespace {

// The host's header at the start of every block: who owns it.
struct BlockHeader {
    PluginObject *owner;
    std::uint64_t magic;
};
static_assert(sizeof(BlockHeader) <= static_cast<std::size_t>(kPluginDataOffset));
static_assert(kPluginDataOffset % 16 == 0);

constexpr std::uint64_t kBlockMagic = 0x52424f424a454354ULL; // "RBOBJECT"

// Live instances, so that FromInstance answers null for a pointer that is none of ours.
std::unordered_map<void *, PluginObject *> &LiveInstances() {
    static auto *live = new std::unordered_map<void *, PluginObject *>;
    return *live;
}

const PluginPropertyDefinition *FindProperty(const PluginClassDefinition *cls,
                                             const std::string &name) {
    if (!cls || !cls->properties)
        return nullptr;
    for (intptr_t i = 0; i < cls->propertyCount; ++i)
        if (cls->properties[i].name && name == cls->properties[i].name)
            return &cls->properties[i];
    return nullptr;
}

// The int32 field of a direct property, or null when it does not lie inside the data block.
std::int32_t *DirectField(const PluginClassDefinition *cls, void *data, intptr_t parameter) {
    if (parameter < 0 || parameter + 4 > cls->dataSize)
        return nullptr;
    return reinterpret_cast<std::int32_t *>(static_cast<unsigned char *>(data) + parameter);
}

} // namespace

PluginObject::PluginObject(const PluginClassDefinition *cls, void (*destructor)(void *))
    : class_(cls), destructor_(destructor), block_(nullptr) {
    const std::size_t size =
        static_cast<std::size_t>(kPluginDataOffset) + static_cast<std::size_t>(cls->dataSize);
    const std::size_t rounded = (size + 15) / 16 * 16;
    block_ = static_cast<unsigned char *>(std::aligned_alloc(16, rounded));
    if (!block_)
        throw std::bad_alloc();
    std::memset(block_, 0, rounded);
    auto *header = reinterpret_cast<BlockHeader *>(block_);
    header->owner = this;
    header->magic = kBlockMagic;
    LiveInstances()[block_] = this;
}

PluginObject::~PluginObject() {
    if (destructor_)
        destructor_(block_);
    LiveInstances().erase(block_);
    std::free(block_);
}

void *PluginObject::Data() const { return block_ + kPluginDataOffset; }

std::int32_t PluginObject::GetIntegerProperty(const std::string &name) const {
    const PluginPropertyDefinition *p = FindProperty(class_, name);
    if (!p || p->getter != kPropertyDirect)
        return 0;
    const std::int32_t *field = DirectField(class_, Data(), p->parameter);
    if (!field)
        return 0;
    std::int32_t value;
    std::memcpy(&value, field, sizeof value);
    return value;
}

void PluginObject::SetIntegerProperty(const std::string &name, std::int32_t value) {
    const PluginPropertyDefinition *p = FindProperty(class_, name);
    if (!p || p->setter != kPropertyDirect)
        return;
    if (std::int32_t *field = DirectField(class_, Data(), p->parameter))
        std::memcpy(field, &value, sizeof value);
}

PluginObject *PluginObject::FromInstance(void *instance) {
    if (!instance)
        return nullptr;
    auto &live = LiveInstances();
    auto it = live.find(instance);
    return it == live.end() ? nullptr : it->second;
}

Ref<PluginObject> RuntimeNewPluginObject(const std::string &className, void (*constructor)(void *),
                                         void (*destructor)(void *)) {
    const PluginClassDefinition *cls = RuntimeFindPluginClass(className);
    if (!cls)
        return nullptr;
    Ref<PluginObject> object(new PluginObject(cls, destructor));
    if (constructor)
        constructor(object->Instance());
    return object;
}

Ref<PluginObject> RuntimeNewPluginObject(const std::string &className) {
    const PluginClassDefinition *cls = RuntimeFindPluginClass(className);
    if (!cls)
        return nullptr;
    return RuntimeNewPluginObject(className, reinterpret_cast<void (*)(void *)>(cls->constructor),
                                  reinterpret_cast<void (*)(void *)>(cls->destructor));
}

} // namespace rb
