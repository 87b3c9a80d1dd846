#pragma once

#include "dcps/api/DREventForwarder.h"

namespace vexa::dcps::api {

// A subscriber's listener: the reader callbacks, then data on readers.
class SubEventForwarder : public DREventForwarder {
public:
    virtual void on_data_on_readers(void* entity) = 0;
};

}  // namespace vexa::dcps::api
