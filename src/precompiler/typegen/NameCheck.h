#ifndef TESSGEN_TYPEGEN_NAMECHECK_H
#define TESSGEN_TYPEGEN_NAMECHECK_H

#include <set>
#include <string>

namespace NLX {

// The one check of every name the type-code generators write as a C++ name of their own:
// types, enumerators, bit elements, namespaces, and (in the structure and union classes)
// members. A name must be an ASCII C++ identifier, no keyword (C++20's included, since
// g++ warns about them) or alternative token, and none of the names that generated code
// declares or spells inside a module namespace (the pack helpers, the fixed-width integer
// types, the namespaces generated code reaches). Names the caller knows to be taken in its
// scope (a topic's reader typedef, a class's own members) come as alsoTaken.
//
// Returns why the name cannot be used, in Russian, or the empty text when it can.
std::string nameFault(const std::string& name, const std::set<std::string>& alsoTaken = {});

// The same for a namespace: identifiers joined by "::".
std::string namespaceFault(const std::string& nameSpace);

}  // namespace NLX

#endif
