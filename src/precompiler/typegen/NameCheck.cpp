#include "precompiler/typegen/NameCheck.h"

namespace NLX {

namespace {

const std::set<std::string>& keywords() {
    static const std::set<std::string> words = {
        "alignas",       "alignof",     "and",
        "and_eq",        "asm",         "auto",
        "bitand",        "bitor",       "bool",
        "break",         "case",        "catch",
        "char",          "char8_t",     "char16_t",
        "char32_t",      "class",       "compl",
        "concept",       "const",       "consteval",
        "constexpr",     "constinit",   "const_cast",
        "continue",      "co_await",    "co_return",
        "co_yield",      "decltype",    "default",
        "delete",        "do",          "double",
        "dynamic_cast",  "else",        "enum",
        "explicit",      "export",      "extern",
        "false",         "float",       "for",
        "friend",        "goto",        "if",
        "inline",        "int",         "long",
        "mutable",       "namespace",   "new",
        "noexcept",      "not",         "not_eq",
        "nullptr",       "operator",    "or",
        "or_eq",         "private",     "protected",
        "public",        "register",    "reinterpret_cast",
        "requires",      "return",      "short",
        "signed",        "sizeof",      "static",
        "static_assert", "static_cast", "struct",
        "switch",        "template",    "this",
        "thread_local",  "throw",       "true",
        "try",           "typedef",     "typeid",
        "typename",      "union",       "unsigned",
        "using",         "virtual",     "void",
        "volatile",      "wchar_t",     "while",
        "xor",           "xor_eq",
    };
    return words;
}

// Declared by generated code in every module namespace, or spelled there unqualified.
const std::set<std::string>& generatedNames() {
    static const std::set<std::string> names = {
        "pack",      "unpack",   "unpackCH", "next",     "nextCH",  "lenPacked",
        "getKeyPos", "uint8_t",  "int16_t",  "uint16_t", "int32_t", "uint32_t",
        "int64_t",   "uint64_t", "std",      "vexa",     "dds",     "VEXA_PACK",
    };
    return names;
}

bool isIdentifier(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
        return false;
    }
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string nameFault(const std::string& name, const std::set<std::string>& alsoTaken) {
    if (!isIdentifier(name)) {
        return "не является идентификатором C++";
    }
    if (keywords().count(name) != 0) {
        return "является ключевым словом C++";
    }
    if (generatedNames().count(name) != 0 || alsoTaken.count(name) != 0) {
        return "совпадает с именем, которое объявляет или использует сгенерированный код";
    }
    return std::string();
}

std::string namespaceFault(const std::string& nameSpace) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = nameSpace.find("::", start);
        const std::string part = nameSpace.substr(start, end - start);
        const std::string fault = nameFault(part);
        if (!fault.empty()) {
            return fault;
        }
        if (end == std::string::npos) {
            return std::string();
        }
        start = end + 2;
    }
}

}  // namespace NLX
