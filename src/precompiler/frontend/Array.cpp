#include "precompiler/frontend/Array.h"

#include "precompiler/frontend/ElementSpelling.h"

#include "ZetException.h"

#include <limits>

namespace {

std::uint64_t checkedProduct(std::uint64_t a, std::uint64_t b, const std::string& arrayName) {
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) {
        throw NLX::ZetException("Ошибка: Array::set. Размер массива " + arrayName +
                                " не помещается в 64 бита");
    }
    return a * b;
}

}  // namespace

AnyType::TypeSet Array::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    SetGuard guard(*this);
    if (m_dimensions.empty()) {
        throw NLX::ZetException("Ошибка: Array::set. У массива " + m_qualifiedName +
                                " нет размерностей");
    }
    std::uint64_t count = 1;
    for (std::uint64_t dimension : m_dimensions) {
        count = checkedProduct(count, dimension, m_qualifiedName);
    }
    m_elementCount = count;

    // Stored only after its set() has succeeded: a refused cycle leaves no loop of pointers.
    AnyType* element = getAnyTypeByString(m_elementTypeName);
    const TypeSet elementDependencies = element->set();
    m_elementType = element;
    m_dependencies.insert(elementDependencies.begin(), elementDependencies.end());

    // Innermost dimension first: std::array <std::array <int32_t,3 >,2 >.
    std::string text = "std::array <" + elementSpelling(*m_elementType, m_moduleName) + "," +
                       std::to_string(m_dimensions.back()) + " >";
    for (std::size_t i = m_dimensions.size() - 1; i-- > 0;) {
        text = "std::array <" + text + "," + std::to_string(m_dimensions[i]) + " >";
    }
    m_cppTypeText = text;
    m_dependencies.insert(m_elementType);

    const bool simple = m_elementType->isLenghthAsSimple();
    m_fixedLength = m_elementType->isFixedLength();
    m_alignment = m_elementType->m_alignment;
    m_size = simple ? checkedProduct(m_elementType->m_size, count, m_qualifiedName) : 0;
    guard.complete();
    m_isSet = true;
    if (simple) {
        m_lenPackedBuild = BUILD_NOT_NEEDED;
    }
    const AnyType* base = m_elementType->getAnyTypePtrBase();
    const bool runtimeServes =
        m_elementType->isPrimitiveBase() || (base != nullptr && base->m_Kind == ENUMERATION_TYPE);
    m_packBuild = runtimeServes ? BUILD_NOT_NEEDED : BUILD_PENDING;
    m_unPackBuild = m_packBuild;
    return m_dependencies;
}
