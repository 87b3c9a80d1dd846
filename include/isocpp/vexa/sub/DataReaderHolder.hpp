#ifndef VEXA_SUB_DATAREADERHOLDER_HPP
#define VEXA_SUB_DATAREADERHOLDER_HPP

// What an AnyDataReader holds: a shared reference to a reader's delegate. Nothing in it
// depends on the sample type, so a reader found without knowing its type (dds::sub::find of
// AnyDataReader) gets the same holder as a typed handle.

#include <memory>
#include <string>

#include "dds/sub/AnyDataReader.hpp"
#include "vexa/core/Retain.hpp"
#include "vexa/sub/DataReaderDelegate.hpp"

namespace vexa {
namespace sub {

class DataReaderHolder : public ::dds::sub::AnyDataReaderHolder {
public:
    explicit DataReaderHolder(std::shared_ptr<DataReaderDelegate> const& d) : d_(d) {}

    ::dds::sub::qos::DataReaderQos qos() const override { return d_->qos(); }
    std::string const& topic_name() const override { return d_->topic_name(); }
    std::string const& type_name() const override { return d_->type_name(); }
    ::dds::sub::Subscriber const& subscriber() const override { return d_->subscriber(); }
    void close() override {
        d_->close();
        ::dds::sub::AnyDataReader any(std::make_shared<DataReaderHolder>(d_));
        vexa::core::retain_remove(any);
    }
    vexa::dcps::api::DataReaderImpl* identity() const override { return d_->bridge(); }
    void retain(bool keep) override {
        ::dds::sub::AnyDataReader any(std::make_shared<DataReaderHolder>(d_));
        if (keep) {
            d_->retain();
            vexa::core::retain_add(any);
        } else {
            vexa::core::retain_remove(any);
        }
    }
    std::shared_ptr<DataReaderDelegate> const& reader_delegate() const override { return d_; }

private:
    std::shared_ptr<DataReaderDelegate> d_;
};

}  // namespace sub
}  // namespace vexa

#endif
