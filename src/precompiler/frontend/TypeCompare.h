#ifndef TESSGEN_FRONTEND_TYPECOMPARE_H
#define TESSGEN_FRONTEND_TYPECOMPARE_H

class AnyType;

namespace NLX {

// Structural equality of two completed types, seen through one level of aliasing: the same
// kind; primitives and enumerations need nothing more; strings by C++ type text; bit sets,
// unions and structures by qualified name; arrays by dimensions and element; sequences by
// element; maps by key and value (enumeration keys also by name). Types not yet completed
// (an element still unresolved) are unequal.
bool compare(AnyType* a, AnyType* b);

}  // namespace NLX

#endif
