#include "precompiler/packgen/BuildePack.h"

namespace NLX {

void BuildePack::createTopic(Structure*) {}

}  // namespace NLX
