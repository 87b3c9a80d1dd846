#ifndef VEXA_PUB_DATAWRITERHOLDER_HPP
#define VEXA_PUB_DATAWRITERHOLDER_HPP

// What an AnyDataWriter holds: a shared reference to a writer's delegate. Nothing in it
// depends on the sample type, so a writer found without knowing its type (dds::pub::find of
// AnyDataWriter) gets the same holder as a typed handle.

#include <memory>
#include <string>

#include "dds/pub/AnyDataWriter.hpp"
#include "vexa/core/Retain.hpp"
#include "vexa/pub/DataWriterDelegate.hpp"

namespace vexa {
namespace pub {

class DataWriterHolder : public ::dds::pub::AnyDataWriterHolder {
public:
    explicit DataWriterHolder(std::shared_ptr<DataWriterDelegate> const& d) : d_(d) {}

    ::dds::pub::qos::DataWriterQos qos() const override { return d_->qos(); }
    void qos(::dds::pub::qos::DataWriterQos const& q) override { d_->qos(q); }
    std::string const& topic_name() const override { return d_->topic()->name(); }
    std::string const& type_name() const override { return d_->topic()->type_name(); }
    ::dds::pub::Publisher const& publisher() const override { return d_->publisher(); }
    void wait_for_acknowledgments(::dds::core::Duration const& timeout) override {
        d_->wait_for_acknowledgments(timeout);
    }
    void close() override {
        d_->close();
        ::dds::pub::AnyDataWriter any(std::make_shared<DataWriterHolder>(d_));
        vexa::core::retain_remove(any);
    }
    void retain(bool keep) override {
        ::dds::pub::AnyDataWriter any(std::make_shared<DataWriterHolder>(d_));
        if (keep) {
            d_->retain();
            vexa::core::retain_add(any);
        } else {
            vexa::core::retain_remove(any);
        }
    }
    void const* identity() const override { return d_->writer(); }
    std::shared_ptr<DataWriterDelegate> const& writer_delegate() const override { return d_; }

private:
    std::shared_ptr<DataWriterDelegate> d_;
};

}  // namespace pub
}  // namespace vexa

#endif
