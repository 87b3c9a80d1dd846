#ifndef VEXA_PUB_DATAWRITERLISTENERADAPTER_HPP
#define VEXA_PUB_DATAWRITERLISTENERADAPTER_HPP

// What the library's writer forwarder calls, with the API status already converted: the typed
// writer handle supplies the implementation that reaches the application's typed listener.
// Compiled into application code, so the slot order is fixed: new operations go at the end.

#include "dds/core/status/Status.hpp"

namespace vexa {
namespace pub {

class DataWriterListenerAdapter {
public:
    virtual ~DataWriterListenerAdapter() = default;
    virtual void on_offered_deadline_missed(
        ::dds::core::status::OfferedDeadlineMissedStatus const& status) = 0;
    virtual void on_offered_incompatible_qos(
        ::dds::core::status::OfferedIncompatibleQosStatus const& status) = 0;
    virtual void on_liveliness_lost(::dds::core::status::LivelinessLostStatus const& status) = 0;
    virtual void on_publication_matched(
        ::dds::core::status::PublicationMatchedStatus const& status) = 0;
};

}  // namespace pub
}  // namespace vexa

#endif
