#ifndef DDS_DOMAIN_DOMAINPARTICIPANTLISTENER_HPP
#define DDS_DOMAIN_DOMAINPARTICIPANTLISTENER_HPP

// A participant's listener. It is stored and installed, but the library never calls it, with
// whatever status mask: only writer and reader listeners receive callbacks.

#include "dds/pub/PublisherListener.hpp"
#include "dds/sub/SubscriberListener.hpp"
#include "dds/topic/AnyTopicListener.hpp"

namespace dds {
namespace domain {

class DomainParticipantListener : public virtual ::dds::pub::PublisherListener,
                                  public virtual ::dds::sub::SubscriberListener,
                                  public virtual ::dds::topic::AnyTopicListener {};

class NoOpDomainParticipantListener : public virtual DomainParticipantListener,
                                      public virtual ::dds::pub::NoOpPublisherListener,
                                      public virtual ::dds::sub::NoOpSubscriberListener,
                                      public virtual ::dds::topic::NoOpAnyTopicListener {};

}  // namespace domain
}  // namespace dds

#endif
