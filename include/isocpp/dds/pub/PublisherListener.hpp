#ifndef DDS_PUB_PUBLISHERLISTENER_HPP
#define DDS_PUB_PUBLISHERLISTENER_HPP

// A publisher's listener. It is stored and installed, but the library never calls it: only
// writer and reader listeners receive callbacks.

#include "dds/pub/AnyDataWriterListener.hpp"

namespace dds {
namespace pub {

class PublisherListener : public virtual AnyDataWriterListener {};

class NoOpPublisherListener : public virtual PublisherListener,
                              public virtual NoOpAnyDataWriterListener {};

}  // namespace pub
}  // namespace dds

#endif
