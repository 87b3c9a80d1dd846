#ifndef DDS_SUB_SUBSCRIBERLISTENER_HPP
#define DDS_SUB_SUBSCRIBERLISTENER_HPP

// A subscriber's listener. It is stored and installed, but the library never calls it: only
// writer and reader listeners receive callbacks.

#include "dds/sub/AnyDataReaderListener.hpp"

namespace vexa {
namespace sub {
class SubscriberDelegate;
}
}  // namespace vexa

namespace dds {
namespace sub {

template <typename D>
class TSubscriber;

class SubscriberListener : public virtual AnyDataReaderListener {
public:
    virtual void on_data_on_readers(TSubscriber<vexa::sub::SubscriberDelegate>& subscriber) = 0;
};

class NoOpSubscriberListener : public virtual SubscriberListener,
                               public virtual NoOpAnyDataReaderListener {
public:
    void on_data_on_readers(TSubscriber<vexa::sub::SubscriberDelegate>&) override {}
};

}  // namespace sub
}  // namespace dds

#endif
