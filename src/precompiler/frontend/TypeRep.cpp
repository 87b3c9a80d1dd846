#include "precompiler/frontend/TypeRep.h"

TypeRep::TypeRep() {
    setBaseCPP_TypeNames();
    setBaseDDS_TypeNames();
}

void TypeRep::setBaseCPP_TypeNames() {
    m_cppByKind[BOOLEAN_TYPE] = "bool";
    m_cppByKind[BYTE_TYPE] = "uint8_t";
    m_cppByKind[INT_16_TYPE] = "int16_t";
    m_cppByKind[UINT_16_TYPE] = "uint16_t";
    m_cppByKind[INT_32_TYPE] = "int32_t";
    m_cppByKind[UINT_32_TYPE] = "uint32_t";
    m_cppByKind[INT_64_TYPE] = "int64_t";
    m_cppByKind[UINT_64_TYPE] = "uint64_t";
    m_cppByKind[FLOAT_32_TYPE] = "float";
    m_cppByKind[FLOAT_64_TYPE] = "double";
    m_cppByKind[FLOAT_128_TYPE] = "long double";
    m_cppByKind[CHAR_8_TYPE] = "char";
    m_cppByKind[CHAR_32_TYPE] = "wchar_t";
    for (const auto& entry : m_cppByKind) {
        m_kindByCpp[entry.second] = entry.first;
        m_cppNames.insert(entry.second);
        m_cppNames2.insert(entry.second);
    }
}

void TypeRep::setBaseDDS_TypeNames() {
    m_ddsByKind[BOOLEAN_TYPE] = "Boolean";
    m_ddsByKind[BYTE_TYPE] = "Byte";
    m_ddsByKind[INT_16_TYPE] = "Int16";
    m_ddsByKind[UINT_16_TYPE] = "UInt16";
    m_ddsByKind[INT_32_TYPE] = "Int32";
    m_ddsByKind[UINT_32_TYPE] = "UInt32";
    m_ddsByKind[INT_64_TYPE] = "Int64";
    m_ddsByKind[UINT_64_TYPE] = "UInt64";
    m_ddsByKind[FLOAT_32_TYPE] = "Float32";
    m_ddsByKind[FLOAT_64_TYPE] = "Float64";
    m_ddsByKind[FLOAT_128_TYPE] = "Float128";
    m_ddsByKind[CHAR_8_TYPE] = "Char8";
    m_ddsByKind[CHAR_32_TYPE] = "Char32";
    for (const auto& entry : m_ddsByKind) {
        m_basicDdsNames.insert(entry.second);
    }
    m_basicDdsNames.insert("String8");
    m_basicDdsNames.insert("String32");
}

std::string TypeRep::getCPP(TypeKind kind) const {
    const auto found = m_cppByKind.find(kind);
    return found == m_cppByKind.end() ? std::string() : found->second;
}

std::string TypeRep::getDDS(TypeKind kind) const {
    const auto found = m_ddsByKind.find(kind);
    return found == m_ddsByKind.end() ? std::string() : found->second;
}

TypeKind TypeRep::getCPP(const std::string& text) const {
    const auto found = m_kindByCpp.find(text);
    return found == m_kindByCpp.end() ? NO_TYPE : found->second;
}

bool TypeRep::isBasicTypeDDS(std::string name) const {
    return m_basicDdsNames.find(name) != m_basicDdsNames.end();
}
