#ifndef TESSGEN_TYPEGEN_CASELABELS_H
#define TESSGEN_TYPEGEN_CASELABELS_H

#include <string>
#include <vector>

class AnyType;
class Union;

namespace NLX {

class Logger;

// The case labels of a union as generated code writes them. The union class and the union
// pack code both take their labels from here, so the two always agree.
//
// A label becomes: for an integer discriminator (Byte, Int16 .. UInt64) its value in canonical
// decimal (the Int64 minimum as (-9223372036854775807LL - 1), a UInt64 above the Int64 range
// with ULL); for Char8 'c' (one printable ASCII byte) and for Char32 L'c' (one printable
// character), quote and backslash escaped; for Boolean true or false; for an enumeration the
// enumerator, qualified with the enumeration's spelling from module, a value text standing for
// the first enumerator of that value. The discriminator is judged behind its aliases.
//
// Every refusal logs one line (when there is a logger) and throws NLX::ZetException naming the
// module, the union and the fault.

// The discriminator behind its aliases when it can discriminate: Boolean, Byte, an integer,
// Char8, Char32 or an enumeration; null otherwise. The union must have been set().
AnyType* discriminatorBase(Union& unionType);

// What a generated switch over the discriminator value tests: g++ warns about a switch over a
// bool, so a Boolean discriminator is switched on as int.
std::string switchSubject(Union& unionType, const std::string& value);

// The C++ text of one label of the union; refuses a label that is no value of the
// discriminator, and a discriminator that cannot discriminate.
std::string caseLabel(Union& unionType, const std::string& label, const std::string& module,
                      Logger* logger);

// The texts of every label of the union, in the order of Union::m_cases; refuses also two
// labels that name one value.
std::vector<std::string> caseLabels(Union& unionType, const std::string& module, Logger* logger);

}  // namespace NLX

#endif
