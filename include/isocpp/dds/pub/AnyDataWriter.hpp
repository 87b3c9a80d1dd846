#ifndef DDS_PUB_ANYDATAWRITER_HPP
#define DDS_PUB_ANYDATAWRITER_HPP

// A writer handle without its sample type: one shared holder over a typed writer handle. Two
// handles are equal when they stand for the same core writer. A copy keeps the writer alive
// like the typed handle.

#include <memory>
#include <string>

#include "dds/core/Duration.hpp"
#include "dds/pub/Publisher.hpp"
#include "dds/pub/qos/DataWriterQos.hpp"

namespace vexa {
namespace pub {
class DataWriterDelegate;
}
}  // namespace vexa

namespace dds {
namespace pub {

class AnyDataWriterHolder {
public:
    virtual ~AnyDataWriterHolder() = default;
    virtual qos::DataWriterQos qos() const = 0;
    virtual void qos(qos::DataWriterQos const& q) = 0;
    virtual std::string const& topic_name() const = 0;
    virtual std::string const& type_name() const = 0;
    virtual Publisher const& publisher() const = 0;
    virtual void wait_for_acknowledgments(::dds::core::Duration const& timeout) = 0;
    virtual void close() = 0;
    // true: list the writer in the retain registry; false: drop it from there.
    virtual void retain(bool keep) = 0;
    // The same for every holder of one core writer.
    virtual void const* identity() const = 0;
    virtual std::shared_ptr<vexa::pub::DataWriterDelegate> const& writer_delegate() const = 0;
};

class AnyDataWriter {
public:
    explicit AnyDataWriter(std::shared_ptr<AnyDataWriterHolder> const& holder) : holder_(holder) {}
    // From any typed writer handle.
    template <typename WRITER, typename = decltype(&WRITER::any_holder)>
    AnyDataWriter(WRITER const& writer) : holder_(writer.any_holder()) {}

    qos::DataWriterQos qos() const { return holder_->qos(); }
    void qos(qos::DataWriterQos const& q) { holder_->qos(q); }
    std::string const& topic_name() const { return holder_->topic_name(); }
    std::string const& type_name() const { return holder_->type_name(); }
    Publisher const& publisher() const { return holder_->publisher(); }
    void wait_for_acknowledgments(::dds::core::Duration const& timeout) {
        holder_->wait_for_acknowledgments(timeout);
    }
    void close() { holder_->close(); }
    void retain(bool keep) { holder_->retain(keep); }

    // The typed handle of the writer: WRITER is dds::pub::DataWriter<T> of its type.
    template <typename WRITER>
    WRITER get() const {
        return WRITER(holder_->writer_delegate());
    }

    bool operator==(AnyDataWriter const& other) const {
        return holder_->identity() == other.holder_->identity();
    }
    bool operator!=(AnyDataWriter const& other) const { return !(*this == other); }
    AnyDataWriterHolder* operator->() const { return holder_.get(); }

private:
    std::shared_ptr<AnyDataWriterHolder> holder_;
};

}  // namespace pub
}  // namespace dds

#endif
