#include "precompiler/frontend/stringLess.h"

#include "precompiler/frontend/AnyType.h"

#include <algorithm>
#include <cctype>

namespace NLX {

bool stringLess::operator()(const AnyType* a, const AnyType* b) const {
    const std::string& left = a->m_qualifiedName;
    const std::string& right = b->m_qualifiedName;
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [](char x, char y) {
                                            return std::toupper(static_cast<unsigned char>(x)) <
                                                   std::toupper(static_cast<unsigned char>(y));
                                        });
}

}  // namespace NLX
