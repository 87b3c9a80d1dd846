#ifndef DDS_PUB_ANYDATAWRITERLISTENER_HPP
#define DDS_PUB_ANYDATAWRITERLISTENER_HPP

// The writer callbacks that an application listener implements. They run on the
// participant's data-handling thread while the core holds the participant's mutex: a slow
// callback stalls all intake of that participant, and a callback must not wait for another
// thread that uses the same participant.

#include "dds/core/status/Status.hpp"

namespace dds {
namespace pub {

class AnyDataWriter;

class AnyDataWriterListener {
public:
    virtual ~AnyDataWriterListener() = default;
    virtual void on_offered_deadline_missed(
        AnyDataWriter& writer, ::dds::core::status::OfferedDeadlineMissedStatus const& status) = 0;
    virtual void on_offered_incompatible_qos(
        AnyDataWriter& writer, ::dds::core::status::OfferedIncompatibleQosStatus const& status) = 0;
    virtual void on_liveliness_lost(AnyDataWriter& writer,
                                    ::dds::core::status::LivelinessLostStatus const& status) = 0;
    virtual void on_publication_matched(
        AnyDataWriter& writer, ::dds::core::status::PublicationMatchedStatus const& status) = 0;
};

class NoOpAnyDataWriterListener : public virtual AnyDataWriterListener {
public:
    void on_offered_deadline_missed(
        AnyDataWriter&, ::dds::core::status::OfferedDeadlineMissedStatus const&) override {}
    void on_offered_incompatible_qos(
        AnyDataWriter&, ::dds::core::status::OfferedIncompatibleQosStatus const&) override {}
    void on_liveliness_lost(AnyDataWriter&,
                            ::dds::core::status::LivelinessLostStatus const&) override {}
    void on_publication_matched(AnyDataWriter&,
                                ::dds::core::status::PublicationMatchedStatus const&) override {}
};

}  // namespace pub
}  // namespace dds

#endif
