#ifndef TESSGEN_FRONTEND_DDS_TYPES_H
#define TESSGEN_FRONTEND_DDS_TYPES_H

#include "precompiler/frontend/Constant.h"
#include "precompiler/frontend/ConstructedTypes.h"
#include "precompiler/frontend/PrimitiveTypes.h"

#include <string>
#include <type_traits>
#include <vector>

struct Annotation {
    std::string m_name;
    std::string m_value;
};

// The type model of one module.
struct DDS_Types {
    std::string m_moduleName;
    std::vector<Constant> m_constants;
    std::vector<Annotation> m_annotations;
    PrimitiveTypes m_primitiveTypes;
    ConstructedTypes m_constructedTypes;
};

// A vector of modules that grows must move them: a copy would leave the pointers between
// types (and the topics' structure pointers) aimed at the old copies.
static_assert(std::is_nothrow_move_constructible<DDS_Types>::value,
              "DDS_Types must move without throwing");

#endif
