// A bit set of the model as a class over std::bitset, with its free pack functions.
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "precompiler/typegen/NameCheck.h"

#include "Indent.h"

#include <set>

namespace NLX {

void XML_VEXA_parser::checkBitSet(const BitSet& bitset) {
    const std::string head =
        "Модуль " + m_currentModule + ", битовое поле " + bitset.m_qualifiedName;
    if (bitset.m_bound < 1 || bitset.m_bound > 64) {
        refuse(__func__, __LINE__,
               head + ": размер " + std::to_string(bitset.m_bound) + " вне диапазона 1-64");
    }
    // The class declares these itself; an element getter to_ulong would be what the pack
    // function reads instead of the bits.
    const std::set<std::string> members = {"all", "MaskType", "to_ulong", "to_ullong",
                                           bitset.m_shortName};
    std::set<std::string> names;
    for (const BitSetElement& element : bitset.m_elements) {
        std::string fault = nameFault(element.m_name);
        if (fault.empty() && members.count(element.m_name) != 0) {
            fault = "совпадает с именем члена сгенерированного класса";
        }
        if (!fault.empty()) {
            refuse(__func__, __LINE__, head + ": имя элемента " + element.m_name + " " + fault);
        }
        if (!names.insert(element.m_name).second) {
            refuse(__func__, __LINE__, head + ": элемент " + element.m_name + " повторяется");
        }
        if (element.m_flush < 0 || element.m_flush >= bitset.m_bound) {
            refuse(__func__, __LINE__,
                   head + ": позиция " + std::to_string(element.m_flush) + " элемента " +
                       element.m_name + " вне размера " + std::to_string(bitset.m_bound));
        }
    }
}

void XML_VEXA_parser::createDeclarations(const BitSet* bitset) {
    const std::string& n = bitset->m_shortName;
    const std::string base = "std::bitset<" + std::to_string(bitset->m_bound) + ">";
    const std::string i1 = Indent::shiftIndent(1u);
    const std::string i2 = Indent::shiftIndent(2u);
    log(Logger::SEV_DEBUG_2, "Генерируем описание и методы для битового поля ", n);

    m_forwardDeclarations << "class " << n << ";\n";

    std::ostringstream& out = m_classBodies;
    out << "/**\n" << AddComment(bitset->m_definition, Indent::m_uiIndent);
    out << "* @sa " << base << "\n"
        << "*/\n";
    out << "class " << n << " : public " << base << " {\n"
        << "public:\n";
    out << i1 << "typedef " << base << " "
        << "MaskType"
        << ";\n";
    out << "/**\n* @brief Конструктор по умолчанию\n*/\n";
    out << i1 << n << "() {}\n";
    out << "/**\n* @brief Конструктор\n* @param[in] val размер битового поля\n*/\n";
    out << i1 << n << "(unsigned long long val) : MaskType(val) {}\n";
    out << "/**\n* @brief Конструктор копирования\n"
        << "* @param[in] other Константная ссылка на копируемый объект типа " << n << "\n*/\n";
    // The whole base: a copy through to_ulong() would cut bits 32 to 63.
    out << i1 << n << "(const " << n << "&other) : "
        << "MaskType"
        << "(other) { }\n";
    out << "/**\n* @brief Оператор присваивания\n"
        << "* @param[in] other Константная ссылка на копируемый объект типа " << n << "\n*/\n";
    out << i1 << n << "& operator=(const " << n
        << "& other) { MaskType::operator=(other); return *this; }\n";
    out << i1 << "~" << n << "() {}\n";
    out << "/**\n* @brief Устанавливает все биты в true\n*/\n";
    out << i1 << "inline void all()"
        << "{\n";
    for (const BitSetElement& element : bitset->m_elements) {
        out << i2 << element.m_name << "(true);\n";
    }
    out << i1 << "}\n";
    for (const BitSetElement& element : bitset->m_elements) {
        const std::string& e = element.m_name;
        const std::string position = std::to_string(element.m_flush);
        out << "/**\n* @brief Устанавливает именованное битовое поле " << e
            << " в mask. (setter)\n* @param[in] mask Значение маски \n*/\n";
        // Qualified: an element named set or test hides the base's function of that name.
        out << i1 << "inline " << n << "& " << e << "(bool mask) {\n";
        out << i2 << "MaskType::set(" << position << ",mask);\n";
        out << i2 << "return *this;\n" << i1 << "}\n";
        out << "/**\n* @brief Возвращает значение именованного битового поля " << e
            << " (getter)\n* @return Значение именованного битового поля " << e << "\n*/\n";
        out << i1 << "inline bool " << e << "() const {\n";
        out << i2 << "return MaskType::test(" << position << ");\n" << i1 << "}\n";
    }
    out << "};\n";

    const char* width = "uint64_t";
    const char* convert = "uint64_t tmp = obj.to_ullong();";
    switch (bitset->m_size) {
        case 1:
            width = "uint8_t";
            convert = "uint8_t tmp = (uint8_t) obj.to_ulong();";
            break;
        case 2:
            width = "uint16_t";
            convert = "uint16_t tmp = (uint16_t)obj.to_ulong();";
            break;
        case 4:
            width = "uint32_t";
            convert = "uint32_t tmp = (uint32_t)obj.to_ulong();";
            break;
        default:
            break;
    }
    const bool swapped = m_packType == 1;
    const std::string packHead =
        "unsigned pack(" + n + " const& obj,void* buf, unsigned pos, unsigned maxSize)";
    auto unpackHead = [&n](const char* name) {
        return std::string("unsigned ") + name + "(" + n +
               " & obj, const void* buf, unsigned pos, unsigned maxSize)";
    };
    m_packHeader << i1 << packHead << ";\n";
    m_packHeader << i1 << unpackHead("unpack") << ";\n";
    if (swapped) {
        m_packHeader << i1 << unpackHead("unpackCH") << ";\n";
    }

    m_packSource << i1 << packHead << " {\n";
    m_packSource << i2 << convert << "\n";
    m_packSource << i2 << "return VEXA_PACK::packPrimitive(tmp, (void*)buf,pos,maxSize);\n";
    m_packSource << i1 << "}\n";
    auto writeUnpack = [&](const char* name, const char* primitive) {
        m_packSource << i1 << unpackHead(name) << " {\n";
        m_packSource << i2 << width << " tmp;\n";
        m_packSource << i2 << "pos = VEXA_PACK::" << primitive << "(tmp,(void*)buf,pos,maxSize);\n";
        m_packSource << i2 << "if (pos != 0) { obj = tmp; }\n";
        m_packSource << i2 << "return pos;\n";
        m_packSource << i1 << "}\n";
    };
    writeUnpack("unpack", "unpackPrimitive");
    if (swapped) {
        writeUnpack("unpackCH", "unpackPrimitiveCH");
    }
}

}  // namespace NLX
