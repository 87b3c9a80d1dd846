#ifndef TESSGEN_FRONTEND_INVALID_BASE_TYPE2_H
#define TESSGEN_FRONTEND_INVALID_BASE_TYPE2_H

#include "ZetException.h"

namespace NLX {

// A type that cannot be completed because it refers back to itself or to an unusable base.
class INVALID_BASE_TYPE2 : public ZetException {
public:
    using ZetException::ZetException;
};

}  // namespace NLX

#endif
