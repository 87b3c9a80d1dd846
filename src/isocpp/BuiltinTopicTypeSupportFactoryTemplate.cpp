#include "vexa/topic/BuiltinTopicTypeSupportFactoryTemplate.hpp"

#include <cstring>
#include <memory>

#include "vexa/DataReaderTemplate.h"

namespace vexa {
namespace topic {

namespace {

constexpr unsigned KEY_LEN = sizeof(vexa::dds::BuiltinTopicKey_t);
static_assert(KEY_LEN == 12, "a built-in key is 12 bytes");

}  // namespace

// The members below are all of one template; these aliases keep their heads short.
#define BTTS_TEMPLATE template <typename T, typename TREADER, typename R>
#define BTTS BuiltinTopicTypeSupportFactoryTemplate<T, TREADER, R>

namespace {

template <typename T>
T const* sample(void const* obj) {
    return static_cast<T const*>(obj);
}

template <typename T>
T* sample(void* obj) {
    return static_cast<T*>(obj);
}

template <typename T>
vexa::dds::BuiltinTopicKey_t const& keyOf(void const* obj) {
    return sample<T>(obj)->delegate().key();
}

}  // namespace

BTTS_TEMPLATE
BTTS* BTTS::getTypeSupportFactory() {
    static BTTS* const pFactory = new BTTS();
    return pFactory;
}

BTTS_TEMPLATE
vexa::dcps::api::DataWriterImpl* BTTS::create_datawriter(void const*) const {
    return nullptr;
}

BTTS_TEMPLATE
vexa::dcps::api::DataReaderImpl* BTTS::create_datareader(void const* reader) const {
    return new TREADER(static_cast<vexa::dcps::Reader*>(const_cast<void*>(reader)));
}

BTTS_TEMPLATE
bool BTTS::hasKey() const {
    return true;
}

BTTS_TEMPLATE
vexa::dds::KeyHash_t BTTS::keyHash(void const* obj) const {
    vexa::dds::KeyHash_t hash;
    if (obj != nullptr) {
        std::memcpy(hash.hash, keyOf<T>(obj).value, KEY_LEN);
    }
    return hash;
}

BTTS_TEMPLATE
bool BTTS::keyEqual(void const* obj1, void const* obj2) const {
    return obj1 != nullptr && obj2 != nullptr && keyOf<T>(obj1) == keyOf<T>(obj2);
}

BTTS_TEMPLATE
bool BTTS::keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool) const {
    if (obj == nullptr || buf == nullptr || lenbuf < KEY_LEN) {
        return false;
    }
    return std::memcmp(keyOf<T>(obj).value, buf, KEY_LEN) == 0;
}

BTTS_TEMPLATE
bool BTTS::keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                    bool) const {
    if (key_packed == nullptr || buf == nullptr || lenkey != KEY_LEN || lenbuf < KEY_LEN) {
        return false;
    }
    return std::memcmp(key_packed, buf, KEY_LEN) == 0;
}

BTTS_TEMPLATE
unsigned BTTS::lenPacked(void const*) const {
    return sizeof(R);
}

BTTS_TEMPLATE
unsigned BTTS::maxlenPacked() const {
    return sizeof(R);
}

BTTS_TEMPLATE
unsigned BTTS::keylenPacked(void const*) const {
    return KEY_LEN;
}

BTTS_TEMPLATE
unsigned BTTS::pack(void*, unsigned, void const*) const {
    return 0;
}

BTTS_TEMPLATE
unsigned BTTS::packKey(void* buf, unsigned lenbuf, void const* obj) const {
    if (buf == nullptr || obj == nullptr || lenbuf < KEY_LEN) {
        return 0;
    }
    std::memcpy(buf, keyOf<T>(obj).value, KEY_LEN);
    return KEY_LEN;
}

BTTS_TEMPLATE
void* BTTS::unpack(void const* buf, unsigned lenbuf) const {
    if (buf == nullptr || lenbuf != sizeof(R)) {
        return nullptr;
    }
    auto obj = std::make_unique<T>();
    obj->delegate().assign(*static_cast<R const*>(buf));
    return obj.release();
}

BTTS_TEMPLATE
void* BTTS::unpack(void* obj, void const* buf, unsigned lenbuf) const {
    if (obj == nullptr || buf == nullptr || lenbuf != sizeof(R)) {
        return nullptr;
    }
    sample<T>(obj)->delegate().assign(*static_cast<R const*>(buf));
    return obj;
}

BTTS_TEMPLATE
void* BTTS::unpackKey(void const* buf, unsigned lenbuf) const {
    if (buf == nullptr || lenbuf != KEY_LEN) {
        return nullptr;
    }
    auto obj = std::make_unique<T>();
    return unpackKey(obj.release(), buf, lenbuf);
}

BTTS_TEMPLATE
void* BTTS::unpackKey(void* obj, void const* buf, unsigned lenbuf) const {
    if (obj == nullptr || buf == nullptr || lenbuf != KEY_LEN) {
        return nullptr;
    }
    vexa::dds::BuiltinTopicKey_t key;
    std::memcpy(key.value, buf, KEY_LEN);
    sample<T>(obj)->delegate().key(key);
    return obj;
}

BTTS_TEMPLATE
unsigned BTTS::copyObject(void* to, void const* from) const {
    if (to == nullptr || from == nullptr) {
        return 0;
    }
    *sample<T>(to) = *sample<T>(from);
    return sizeof(R);
}

BTTS_TEMPLATE
unsigned BTTS::moveObject(void* to, void* from) const {
    // A copy: the source stays as it was.
    return copyObject(to, from);
}

BTTS_TEMPLATE
void* BTTS::allocate(unsigned amount, void*& block, size_t& stride) const {
    stride = sizeof(T);
    if (amount == 0) {
        block = nullptr;
        return nullptr;
    }
    T* first = new T[amount];
    block = first;
    return first;
}

BTTS_TEMPLATE
void BTTS::deleteAllocatedObjects(void* block) const {
    delete[] sample<T>(block);
}

BTTS_TEMPLATE
void BTTS::deleteObject(void* obj) const {
    delete sample<T>(obj);
}

#undef BTTS
#undef BTTS_TEMPLATE

template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::ParticipantBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::ParticipantBuiltinTopicData>,
    vexa::dds::ParticipantBuiltinTopicData>;
template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::TopicBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::TopicBuiltinTopicData>,
    vexa::dds::TopicBuiltinTopicData>;
template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::PublicationBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::PublicationBuiltinTopicData>,
    vexa::dds::PublicationBuiltinTopicData>;
template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::SubscriptionBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::SubscriptionBuiltinTopicData>,
    vexa::dds::SubscriptionBuiltinTopicData>;

}  // namespace topic
}  // namespace vexa
