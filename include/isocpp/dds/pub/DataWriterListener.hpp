#ifndef DDS_PUB_DATAWRITERLISTENER_HPP
#define DDS_PUB_DATAWRITERLISTENER_HPP

// The listener of a typed writer. Its callbacks run on the participant's data-handling thread
// while the core holds the participant's mutex: a slow callback stalls all intake of that
// participant, and a callback must not wait for another thread that uses the same
// participant. A callback may replace or remove its own listener.

#include "dds/core/status/Status.hpp"

namespace dds {
namespace pub {

template <typename T>
class DataWriter;

template <typename T>
class DataWriterListener {
public:
    virtual ~DataWriterListener() = default;
    virtual void on_offered_deadline_missed(
        DataWriter<T>& writer, ::dds::core::status::OfferedDeadlineMissedStatus const& status) = 0;
    virtual void on_offered_incompatible_qos(
        DataWriter<T>& writer, ::dds::core::status::OfferedIncompatibleQosStatus const& status) = 0;
    virtual void on_liveliness_lost(DataWriter<T>& writer,
                                    ::dds::core::status::LivelinessLostStatus const& status) = 0;
    virtual void on_publication_matched(
        DataWriter<T>& writer, ::dds::core::status::PublicationMatchedStatus const& status) = 0;
};

template <typename T>
class NoOpDataWriterListener : public virtual DataWriterListener<T> {
public:
    void on_offered_deadline_missed(
        DataWriter<T>&, ::dds::core::status::OfferedDeadlineMissedStatus const&) override {}
    void on_offered_incompatible_qos(
        DataWriter<T>&, ::dds::core::status::OfferedIncompatibleQosStatus const&) override {}
    void on_liveliness_lost(DataWriter<T>&,
                            ::dds::core::status::LivelinessLostStatus const&) override {}
    void on_publication_matched(DataWriter<T>&,
                                ::dds::core::status::PublicationMatchedStatus const&) override {}
};

}  // namespace pub
}  // namespace dds

#endif
