#pragma once

#include "dcps/api/DWEventForwarder.h"

namespace vexa::dcps::api {

// A publisher's listener: the writer callbacks, nothing added.
class PubEventForwarder : public DWEventForwarder {};

}  // namespace vexa::dcps::api
