#ifndef VEXA_TOPIC_BUILTINTOPICTYPESUPPORTFACTORYTEMPLATE_HPP
#define VEXA_TOPIC_BUILTINTOPICTYPESUPPORTFACTORYTEMPLATE_HPP

// Type support of the four built-in topics. Nothing is serialised: the "packed" sample is the
// core's record R itself in memory (length sizeof(R)), the key its 12-byte BuiltinTopicKey_t in
// memory order. Samples are T objects (dds::topic::…BuiltinTopicData) that copy the record deep.
//
// Every operation checks the lengths it is given: a length other than sizeof(R) for a sample,
// other than 12 for a key, or below 12 where a key is read or written, gives null, 0 or false
// and nothing is read or written.
//
// The four instantiations are made in libvexa64 only, so each has one process-wide factory.

#include <cstddef>

#include "dds/topic/BuiltinTopicData.hpp"
#include "vexa/TypeSupportFactoryImpl.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexa {
namespace dcps {
namespace api {
// The typed reader bridge of a topic type.
template <typename T>
class DataReaderTemplate;
}  // namespace api
}  // namespace dcps

namespace topic {

template <typename T, typename TREADER, typename TUNDERSTRUCTURE>
class BuiltinTopicTypeSupportFactoryTemplate : public vexa::dcps::api::TypeSupportFactoryImpl {
public:
    // Created on first use, with no registry entry yet; never destroyed here.
    static BuiltinTopicTypeSupportFactoryTemplate* getTypeSupportFactory();

    // Null: the API creates no writers of built-in topics.
    vexa::dcps::api::DataWriterImpl* create_datawriter(void const* writer) const override;
    // A DataReaderTemplate<T> of the core reader.
    vexa::dcps::api::DataReaderImpl* create_datareader(void const* reader) const override;

    bool hasKey() const override;
    // The 12 key bytes in memory order, then four zero bytes.
    vexa::dds::KeyHash_t keyHash(void const* obj) const override;
    bool keyEqual(void const* obj1, void const* obj2) const override;
    // The key is the record's first member, so key_only makes no difference.
    bool keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool key_only) const override;
    bool keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                  bool key_only) const override;

    unsigned lenPacked(void const* obj) const override;
    unsigned maxlenPacked() const override;
    unsigned keylenPacked(void const* obj) const override;
    // 0: the core never packs built-in samples through the type support.
    unsigned pack(void* buf, unsigned lenbuf, void const* obj) const override;
    unsigned packKey(void* buf, unsigned lenbuf, void const* obj) const override;

    void* unpack(void const* buf, unsigned lenbuf) const override;
    void* unpack(void* obj, void const* buf, unsigned lenbuf) const override;
    void* unpackKey(void const* buf, unsigned lenbuf) const override;
    void* unpackKey(void* obj, void const* buf, unsigned lenbuf) const override;

    unsigned copyObject(void* to, void const* from) const override;
    unsigned moveObject(void* to, void* from) const override;

    void* allocate(unsigned amount, void*& block, size_t& stride) const override;
    void deleteAllocatedObjects(void* block) const override;
    void deleteObject(void* obj) const override;

private:
    BuiltinTopicTypeSupportFactoryTemplate() = default;
};

using ParticipantBuiltinTopicDataTypeSupportFactory = BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::ParticipantBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::ParticipantBuiltinTopicData>,
    vexa::dds::ParticipantBuiltinTopicData>;
using TopicBuiltinTopicDataTypeSupportFactory = BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::TopicBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::TopicBuiltinTopicData>,
    vexa::dds::TopicBuiltinTopicData>;
using PublicationBuiltinTopicDataTypeSupportFactory = BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::PublicationBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::PublicationBuiltinTopicData>,
    vexa::dds::PublicationBuiltinTopicData>;
using SubscriptionBuiltinTopicDataTypeSupportFactory = BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::SubscriptionBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::SubscriptionBuiltinTopicData>,
    vexa::dds::SubscriptionBuiltinTopicData>;

extern template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::ParticipantBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::ParticipantBuiltinTopicData>,
    vexa::dds::ParticipantBuiltinTopicData>;
extern template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::TopicBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::TopicBuiltinTopicData>,
    vexa::dds::TopicBuiltinTopicData>;
extern template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::PublicationBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::PublicationBuiltinTopicData>,
    vexa::dds::PublicationBuiltinTopicData>;
extern template class BuiltinTopicTypeSupportFactoryTemplate<
    ::dds::topic::SubscriptionBuiltinTopicData,
    vexa::dcps::api::DataReaderTemplate<::dds::topic::SubscriptionBuiltinTopicData>,
    vexa::dds::SubscriptionBuiltinTopicData>;

}  // namespace topic
}  // namespace vexa

#endif
