// The variable-size length functions and the key functions of topics. Not written yet: the
// topic classes declare them, and a program that calls them does not link until they are.
#include "precompiler/packgen/BuildePack.h"

namespace NLX {

void BuildePack::lenPacked(Structure*) {}
void BuildePack::KeyHash_t(Structure*) {}
void BuildePack::keyEqual(Structure*) {}
void BuildePack::keyEqualBuf(Structure*) {}
void BuildePack::packKey(Structure*) {}
void BuildePack::keylenPacked(Structure*) {}
void BuildePack::unpackKey(Structure*) {}
void BuildePack::keyEqualBufBuf(Structure*) {}

}  // namespace NLX
