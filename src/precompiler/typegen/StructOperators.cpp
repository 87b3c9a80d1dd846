// The structure class: default and explicit constructors, copy and move, == and !=. With a
// complex member all but the default constructor are defined out of line, in model.cpp.
#include "precompiler/typegen/BuildStruct.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/typegen/FinalType.h"

#include "Indent.h"

#include <limits>

namespace NLX {

namespace {

std::string padded(const std::string& text, std::size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string level(unsigned n) {
    return Indent::shiftIndent(n);
}

}  // namespace

void BuildStruct::docComment(const char* title, const std::vector<std::string>& extraLines) {
    std::ostringstream& out = *m_classBodies;
    out << level(2) << "/**\n";
    out << level(2) << "* @brief " << title << "\n";
    for (const std::string& line : extraLines) {
        out << level(2) << line << "\n";
    }
    out << level(2) << "*/\n";
}

std::string BuildStruct::memberColumn(std::size_t i) const {
    return padded("m_" + m_memberNames[i], m_nameWidth + 2);
}

BuildStruct::DefaultInit BuildStruct::defaultInit(std::size_t i) const {
    DefaultInit init;
    AnyType* type = finalType(m_memberTypes[i]);
    if (type == nullptr) {
        return init;
    }
    if (isPrimitive(type->m_Kind) || type->m_Kind == ENUMERATION_TYPE) {
        init.kind = DefaultInit::VALUE;
        init.element = type;
        return init;
    }
    if (type->m_Kind != ARRAY_TYPE) {
        return init;
    }
    // An array of arrays is one block of its innermost elements, reached by as many loops as
    // it has dimensions in all.
    std::uint64_t count = 1;
    AnyType* element = type;
    while (element != nullptr && element->m_Kind == ARRAY_TYPE) {
        const auto* array = static_cast<const Array*>(element);
        init.depth += static_cast<unsigned>(array->m_dimensions.size());
        const std::uint64_t n = array->m_elementCount;
        count = n != 0 && count > std::numeric_limits<std::uint64_t>::max() / n ? 0 : count * n;
        element = finalType(array->m_elementType);
    }
    if (element == nullptr) {
        return init;
    }
    init.element = element;
    if (element->m_Kind == BOOLEAN_TYPE || element->m_Kind == ENUMERATION_TYPE) {
        init.kind = DefaultInit::LOOPS;
    } else if (isPrimitive(element->m_Kind)) {
        // Nothing to clear in an empty array, whose data() may be null. An array too large for
        // 64 bits cannot come out of the type model.
        if (count != 0 && element->m_size <= std::numeric_limits<std::uint64_t>::max() / count) {
            init.kind = DefaultInit::MEMSET;
            init.bytes = count * element->m_size;
        }
    }
    return init;
}

void BuildStruct::buildConstructor() {
    std::ostringstream& out = *m_classBodies;
    docComment("Конструктор по умолчанию");
    out << level(2) << m_className << "() {\n";
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        const std::string& name = m_memberNames[i];
        const DefaultInit init = defaultInit(i);
        switch (init.kind) {
            case DefaultInit::VALUE:
                out << level(3)
                    << padded("m_" + name + " = " + getDefaultValue(init.element) + ";",
                              m_nameWidth)
                    << "\n";
                break;
            case DefaultInit::LOOPS: {
                const unsigned d = init.depth;
                out << level(3) << "for (auto &i0 : m_" << name << ") {\n";
                for (unsigned k = 1; k < d; ++k) {
                    out << level(k + 3) << "for (auto &i" << k << " : i" << k - 1 << ") {\n";
                }
                out << level(d + 3) << "i" << d - 1 << " = " << getDefaultValue(init.element)
                    << ";\n";
                for (unsigned k = d; k > 0; --k) {
                    out << level(k + 2) << "}\n";
                }
                break;
            }
            case DefaultInit::MEMSET:
                out << level(3)
                    << padded("memset(m_" + name + ".data()," + getDefaultValue(init.element) +
                                  "," + std::to_string(init.bytes) + ");",
                              m_nameWidth)
                    << "\n";
                break;
            case DefaultInit::NONE:
                break;
        }
    }
    out << level(2) << "}\n";
}

void BuildStruct::buildExplicitConstructor() {
    std::ostringstream& out = *m_classBodies;
    const std::string& c = m_className;
    docComment("Явный конструктор");
    const std::size_t last = m_memberCount - 1;
    if (!m_referenceParameters) {
        out << level(2) << "explicit " << c << "(\n";
        for (std::size_t i = 0; i < m_memberCount; ++i) {
            out << level(3) << padded(m_typeTexts[i], m_typeWidth) << " " << m_memberNames[i]
                << (i < last ? ",\n" : ") :\n");
        }
        for (std::size_t i = 0; i < m_memberCount; ++i) {
            out << level(4) << memberColumn(i) << "(" << m_memberNames[i] << ")"
                << (i < last ? ",\n" : " {}\n");
        }
        out << "\n";
        return;
    }
    out << level(2) << "explicit " << c << "(\n";
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        out << level(3) << padded(m_parameterTypes[i], m_parameterWidth) << " " << m_memberNames[i]
            << (i < last ? ",\n" : ");\n");
    }
    std::ostringstream& def = *m_definitions;
    def << c << "::" << c << "(\n";
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        def << level(1) << padded(m_parameterTypes[i], m_parameterWidth) << " " << m_memberNames[i]
            << (i < last ? ",\n" : ") :\n");
    }
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        def << level(2) << memberColumn(i) << "(" << m_memberNames[i] << ")"
            << (i < last ? ",\n" : " {}\n");
    }
    def << "\n";
}

void BuildStruct::copyOrMoveConstructor(bool move) {
    const std::string& c = m_className;
    docComment(move ? "Конструктор перемещения" : "Конструктор копирования");
    const char* const p = move ? " && other) {" : " const & other) {";
    const char* const d = move ? " && other);" : " const & other);";
    auto assignment = [this, move](std::size_t i) {
        const std::string& n = m_memberNames[i];
        return move ? " = std::move(other.m_" + n + ");" : " = other.m_" + n + ";";
    };
    std::ostringstream& out = *m_classBodies;
    if (!m_referenceParameters) {
        out << level(2) << "inline " << c << " (" << c << p << "\n";
        for (std::size_t i = 0; i < m_memberCount; ++i) {
            out << level(3) << memberColumn(i) << assignment(i) << "\n";
        }
        out << level(2) << "}\n";
        return;
    }
    out << level(2) << c << " (" << c << d << "\n";
    std::ostringstream& def = *m_definitions;
    def << c << "::" << c << "(" << c << p << "\n";
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        def << level(1) << memberColumn(i) << assignment(i) << "\n";
    }
    def << "}\n";
}

void BuildStruct::buildCopyConstructor() {
    copyOrMoveConstructor(false);
}

void BuildStruct::buildMoveConstructor() {
    copyOrMoveConstructor(true);
}

void BuildStruct::copyOrMoveOperator(bool move) {
    const std::string& c = m_className;
    docComment(move ? "Оператор перемещения" : "Оператор копирования");
    const char* const p = move ? " && other) {" : " const & other) {";
    const char* const d = move ? " && other);" : " const & other);";
    // The two source heads differ by a blank: "operator =(" and "operator = (".
    const char* const h = move ? "operator = " : "operator =";
    auto assignment = [this, move](std::size_t i) {
        const std::string& n = m_memberNames[i];
        return move ? " = std::move(other.m_" + n + ");" : " = other.m_" + n + ";";
    };
    std::ostringstream& out = *m_classBodies;
    if (!m_referenceParameters) {
        out << level(2) << "inline " << c << "& operator = (" << c << p << "\n";
        out << level(3) << "if (this != &other) {\n";
        for (std::size_t i = 0; i < m_memberCount; ++i) {
            out << level(4) << memberColumn(i) << assignment(i) << "\n";
        }
        out << level(3) << "}\n";
        out << level(3) << "return *this;\n";
        out << level(2) << "}\n";
        return;
    }
    out << level(2) << c << "& operator = (" << c << d << "\n";
    std::ostringstream& def = *m_definitions;
    def << c << "& " << c << "::" << h << "(" << c << p << "\n";
    def << level(1) << "if (this != &other) {\n";
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        def << level(2) << memberColumn(i) << assignment(i) << "\n";
    }
    def << level(1) << "}\n";
    def << level(1) << "return *this;\n";
    def << "}\n";
}

void BuildStruct::buildOperatorCopy() {
    copyOrMoveOperator(false);
}

void BuildStruct::buildOperatorMove() {
    copyOrMoveOperator(true);
}

void BuildStruct::buildOperatorCompare() {
    const std::string& c = m_className;
    const std::string param = "* @param[in]  other константная ссылка на сравниваемый объект";
    auto comparisons = [this](std::ostringstream& to, unsigned at) {
        for (std::size_t i = 0; i < m_memberCount; ++i) {
            to << level(at) << memberColumn(i) << " == other.m_" << m_memberNames[i]
               << (i + 1 < m_memberCount ? " &&\n" : ";\n");
        }
    };
    std::ostringstream& out = *m_classBodies;
    std::ostringstream& def = *m_definitions;

    docComment("Оператор сравнения ==", {param, "* @return  true если параметры одинаковы"});
    if (!m_referenceParameters) {
        out << level(2) << "inline bool operator == (const " << c << "& other) const {\n";
        out << level(3) << "if (this != &other) {\n";
        out << level(4) << "return\n";
        comparisons(out, 5);
        out << level(3) << "}\n";
        out << level(3) << "return true;\n";
        out << level(2) << "}\n\n";
    } else {
        out << level(2) << "bool operator == (const " << c << "& other) const;\n";
        def << "bool " << c << "::operator == (const " << c << "& other) const {\n";
        def << level(1) << "if (this != &other) {\n";
        def << level(2) << "return\n";
        comparisons(def, 3);
        def << level(1) << "}\n";
        def << level(1) << "return true;\n";
        def << "}\n\n";
    }

    docComment("Оператор сравнения ==", {param, "* @return  true если параметры не одинаковы"});
    if (!m_referenceParameters) {
        out << level(2) << "inline bool operator != (const " << c << "& other) const {\n";
        out << level(3) << "return !(*this == other);\n";
        out << level(2) << "}\n\n";
    } else {
        out << level(2) << "bool operator != (const " << c << "& other) const;\n";
        def << "bool " << c << "::operator != (const " << c << "& other) const {\n";
        def << level(1) << "return !(*this == other);\n";
        def << "}\n\n";
    }
}

}  // namespace NLX
