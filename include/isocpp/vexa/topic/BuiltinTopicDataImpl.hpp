#ifndef VEXA_TOPIC_BUILTINTOPICDATAIMPL_HPP
#define VEXA_TOPIC_BUILTINTOPICDATAIMPL_HPP

// The values behind the built-in topic samples: each holds its core record (vexa/dds/
// BuiltinTopicData.h) as its one member, so an object and a record copy into each other member
// by member, strings and sequences deep. A default object has a zero key, empty strings and
// sequences and the API's policy defaults (blocking time {0, 0}, one empty partition name).

#include "vexa/dds/BuiltinTopicData.h"

namespace vexa {
namespace topic {

template <typename R>
class BuiltinTopicDataImpl {
public:
    using Record = R;

    R const& record() const { return data_; }
    // Copies every member; assigning the object's own record does nothing.
    void assign(R const& r) {
        if (&r != &data_) {
            data_ = r;
        }
    }
    vexa::dds::BuiltinTopicKey_t const& key() const { return data_.key; }
    void key(vexa::dds::BuiltinTopicKey_t const& k) { data_.key = k; }

protected:
    BuiltinTopicDataImpl() = default;
    ~BuiltinTopicDataImpl() = default;

    R data_;
};

class ParticipantBuiltinTopicDataImpl
    : public BuiltinTopicDataImpl<vexa::dds::ParticipantBuiltinTopicData> {
public:
    ParticipantBuiltinTopicDataImpl() = default;
};

class TopicBuiltinTopicDataImpl : public BuiltinTopicDataImpl<vexa::dds::TopicBuiltinTopicData> {
public:
    TopicBuiltinTopicDataImpl() { data_.reliability.max_blocking_time = vexa::dds::DURATION_ZERO; }
};

class PublicationBuiltinTopicDataImpl
    : public BuiltinTopicDataImpl<vexa::dds::PublicationBuiltinTopicData> {
public:
    PublicationBuiltinTopicDataImpl() {
        data_.reliability.max_blocking_time = vexa::dds::DURATION_ZERO;
        data_.partition.name = {std::string()};
    }
};

class SubscriptionBuiltinTopicDataImpl
    : public BuiltinTopicDataImpl<vexa::dds::SubscriptionBuiltinTopicData> {
public:
    SubscriptionBuiltinTopicDataImpl() {
        data_.reliability.max_blocking_time = vexa::dds::DURATION_ZERO;
        data_.partition.name = {std::string()};
    }
};

}  // namespace topic
}  // namespace vexa

#endif
