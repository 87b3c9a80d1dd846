#include "common/os/OsStatus.h"

namespace vexa {

bool OsInitialize() {
    return true;
}

}  // namespace vexa
