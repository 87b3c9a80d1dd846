#ifndef DDS_SUB_ANYDATAREADER_HPP
#define DDS_SUB_ANYDATAREADER_HPP

// A reader handle without its sample type: one shared holder over a typed reader handle. Two
// handles are equal when they stand for the same reader. A copy keeps the reader alive like
// the typed handle.

#include <memory>
#include <string>

#include "dds/sub/Subscriber.hpp"
#include "dds/sub/qos/DataReaderQos.hpp"

namespace vexa {
namespace dcps {
namespace api {
class DataReaderImpl;
}
}  // namespace dcps
namespace sub {
class DataReaderDelegate;
}
}  // namespace vexa

namespace dds {
namespace sub {

class AnyDataReaderHolder {
public:
    virtual ~AnyDataReaderHolder() = default;
    virtual qos::DataReaderQos qos() const = 0;
    virtual std::string const& topic_name() const = 0;
    virtual std::string const& type_name() const = 0;
    virtual Subscriber const& subscriber() const = 0;
    virtual void close() = 0;
    // The reader's bridge: the same for every holder of one reader.
    virtual vexa::dcps::api::DataReaderImpl* identity() const = 0;
    // true: list the reader in the retain registry; false: drop it from there.
    virtual void retain(bool keep) = 0;
    virtual std::shared_ptr<vexa::sub::DataReaderDelegate> const& reader_delegate() const = 0;
};

class AnyDataReader {
public:
    explicit AnyDataReader(std::shared_ptr<AnyDataReaderHolder> const& holder) : holder_(holder) {}
    // From any typed reader handle.
    template <typename READER, typename = decltype(&READER::any_holder)>
    AnyDataReader(READER const& reader) : holder_(reader.any_holder()) {}

    qos::DataReaderQos qos() const { return holder_->qos(); }
    std::string const& topic_name() const { return holder_->topic_name(); }
    std::string const& type_name() const { return holder_->type_name(); }
    Subscriber const& subscriber() const { return holder_->subscriber(); }
    void close() { holder_->close(); }
    void retain(bool keep) { holder_->retain(keep); }

    // The typed handle of the reader: READER is dds::sub::DataReader<T> of its type.
    template <typename READER>
    READER get() const {
        return READER(holder_->reader_delegate());
    }

    bool operator==(AnyDataReader const& other) const {
        return holder_->identity() == other.holder_->identity();
    }
    bool operator!=(AnyDataReader const& other) const { return !(*this == other); }
    AnyDataReaderHolder* operator->() const { return holder_.get(); }

private:
    std::shared_ptr<AnyDataReaderHolder> holder_;
};

}  // namespace sub
}  // namespace dds

#endif
