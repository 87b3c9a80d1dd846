// The vector holds BasePrimitives objects of exactly that type, so destroying them through
// ~BasePrimitives is right; the type model has no virtual destructors, since no object is ever
// deleted through a base pointer. Set before any include: the warning is reported where the
// standard library destroys the elements.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wdelete-non-abstract-non-virtual-dtor"
#endif

#include "precompiler/frontend/PrimitiveTypes.h"

namespace {

struct PrimitiveRow {
    TypeKind kind;
    std::uint32_t size;  // also the alignment
};

// The vector order, which is not the kind order.
const PrimitiveRow kRows[] = {
    {BOOLEAN_TYPE, 1},    {BYTE_TYPE, 1},    {CHAR_8_TYPE, 1},   {CHAR_32_TYPE, 4},
    {INT_16_TYPE, 2},     {UINT_16_TYPE, 2}, {INT_32_TYPE, 4},   {UINT_32_TYPE, 4},
    {INT_64_TYPE, 8},     {UINT_64_TYPE, 8}, {FLOAT_32_TYPE, 4}, {FLOAT_64_TYPE, 8},
    {FLOAT_128_TYPE, 16},
};

String baseString(const char* name, const char* element) {
    String text(SHARED_NOT_GIVEN, EXTENSIBILITY_FINAL);
    text.m_Kind = STRING_TYPE;
    text.m_qualifiedName = name;
    text.m_shortName = name;
    text.m_cppName = name;
    text.m_elementTypeName = element;
    text.m_maxLength = String::UNBOUNDED;
    text.m_fixedLength = false;
    text.m_packBuild = BUILD_NOT_NEEDED;
    text.m_unPackBuild = BUILD_NOT_NEEDED;
    text.m_lenPackedBuild = BUILD_NOT_NEEDED;
    return text;
}

}  // namespace

PrimitiveTypes::PrimitiveTypes() {
    m_primitives.reserve(sizeof(kRows) / sizeof(kRows[0]));
    for (const PrimitiveRow& row : kRows) {
        BasePrimitives primitive(SHARED_NOT_GIVEN, EXTENSIBILITY_FINAL);
        primitive.m_key = true;
        primitive.m_Kind = row.kind;
        primitive.m_size = row.size;
        primitive.m_alignment = row.size;
        primitive.m_qualifiedName = AnyType::m_TypeRep.getDDS(row.kind);
        primitive.m_cppName = AnyType::m_TypeRep.getCPP(row.kind);
        primitive.m_cppTypeText = primitive.m_cppName;
        primitive.m_shortName = primitive.m_cppName;
        primitive.m_isSet = true;
        primitive.m_packBuild = BUILD_NOT_NEEDED;
        primitive.m_unPackBuild = BUILD_NOT_NEEDED;
        primitive.m_lenPackedBuild = BUILD_NOT_NEEDED;
        m_primitives.push_back(primitive);
    }
    m_baseStrings.push_back(baseString("String8", "Char8"));
    m_baseStrings.push_back(baseString("String32", "Char32"));
}

std::vector<AnyType*> PrimitiveTypes::getAll() {
    std::vector<AnyType*> all;
    for (BasePrimitives& primitive : m_primitives) {
        all.push_back(&primitive);
    }
    for (String& text : m_baseStrings) {
        all.push_back(&text);
    }
    return all;
}

PrimitiveTypes::PrimitiveTypes(const PrimitiveTypes& other) = default;
PrimitiveTypes::PrimitiveTypes(PrimitiveTypes&& other) noexcept = default;
PrimitiveTypes& PrimitiveTypes::operator=(const PrimitiveTypes& other) = default;
PrimitiveTypes& PrimitiveTypes::operator=(PrimitiveTypes&& other) noexcept = default;
PrimitiveTypes::~PrimitiveTypes() = default;
