// The pack, unpack and skip helpers of unions: the discriminator as one primitive, then the
// member it selects. The cases come in the order of Union::m_cases with the default case last,
// labelled as the union class labels them.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Union.h"
#include "precompiler/packgen/GeneratedLines.h"
#include "precompiler/typegen/CaseLabels.h"
#include "precompiler/typegen/FinalType.h"

#include <functional>

namespace NLX {

using packgen::line;

namespace {

using Params = std::vector<std::pair<std::string, std::string>>;

Params readParams(const std::string& type) {
    return {{type + "&", "UnionObj"},
            {"const void*", "from_buf"},
            {"unsigned", "pos"},
            {"unsigned", "lenbuf"}};
}

// The switch's cases: one per label, the default-marked one last with "default: " once; body
// gives the statement of case i.
std::string caseLines(Union& unionType, const std::vector<std::string>& labels,
                      const std::function<std::string(std::size_t, const std::string&)>& body) {
    std::string cases;
    std::string deferred;
    bool defaultWritten = false;
    std::size_t i = 0;
    for (const auto& entry : unionType.m_cases) {
        const std::string access =
            "UnionObj.m_" + unionType.m_shortName + ".m_" + entry.second.m_name;
        std::string text = line(3, "case " + labels[i] + ":");
        if (entry.second.m_default && !defaultWritten) {
            text += line(3, "default: ");
            defaultWritten = true;
        }
        text += line(4, body(i, access)) + line(4, "break;");
        (entry.second.m_default ? deferred : cases) += text;
        ++i;
    }
    return cases + deferred;
}

}  // namespace

void BuildePack::buildPackF(Union* unionType) {
    if (!claim(PACK_FAMILY, unionType)) {
        return;
    }
    for (AnyType* type : unionType->m_caseTypes) {
        buildPackF(type);
    }
    const std::vector<std::string> labels = caseLabels(*unionType, m_moduleName, m_logger);
    std::string body;
    body += line(2, "pos = VEXA_PACK::packPrimitive(UnionObj.m_d, to_buf, pos, lenbuf);");
    body += line(2, "if (pos == 0) return 0;");
    body += line(2, "switch (" + switchSubject(*unionType, "UnionObj.m_d") + ") {");
    body += caseLines(*unionType, labels, [this, unionType](std::size_t i, const std::string& a) {
        return "pos = " + PACK_F_NAME(unionType->m_caseTypes[i]) + "(" + a +
               ", to_buf, pos, lenbuf);";
    });
    body += line(2, "}");
    body += line(2, "return pos;");
    writeHelper("pack",
                {{"const " + unionType->m_qualifiedName + "&", "UnionObj"},
                 {"void*", "to_buf"},
                 {"unsigned", "pos"},
                 {"unsigned", "lenbuf"}},
                body);
    markWritten(PACK_FAMILY, unionType, BUILD_DONE);
}

void BuildePack::build_lenPackedF(Union* unionType) {
    if (!claim(LENPACKED_FAMILY, unionType)) {
        return;
    }
    for (AnyType* type : unionType->m_caseTypes) {
        build_lenPackedF(type);
    }
    const std::vector<std::string> labels = caseLabels(*unionType, m_moduleName, m_logger);
    AnyType* discriminator =
        unionType->m_discriminatorType != nullptr
            ? unionType->m_discriminatorType
            : unionType->getAnyTypeByString(unionType->m_discriminatorTypeName);
    AnyType* discriminatorBase = finalType(discriminator);
    const std::uint64_t discriminatorSize =
        (discriminatorBase != nullptr ? discriminatorBase : discriminator)->m_size;
    std::string body;
    body +=
        line(2, "pos = VEXA_PACK::lenPackedPrim(pos," + std::to_string(discriminatorSize) + ");");
    body += line(2, "switch (" + switchSubject(*unionType, "UnionObj.m_d") + ") {");
    body += caseLines(*unionType, labels, [this, unionType](std::size_t i, const std::string& a) {
        return "pos = " + lenPacked_F_NAME2(unionType->m_caseTypes[i], a, "pos");
    });
    body += line(2, "}");
    body += line(2, "return pos;");
    writeHelper("lenPacked",
                {{"const " + unionType->m_qualifiedName + "&", "UnionObj"}, {"unsigned", "pos"}},
                body);
    markWritten(LENPACKED_FAMILY, unionType, BUILD_DONE);
}

void BuildePack::buildUnPackF(Union* unionType) {
    if (!claim(UNPACK_FAMILY, unionType)) {
        return;
    }
    for (AnyType* type : unionType->m_caseTypes) {
        buildUnPackF(type);
    }
    const std::vector<std::string> labels = caseLabels(*unionType, m_moduleName, m_logger);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        std::string body;
        body += line(2, "pos = VEXA_PACK::unpackPrimitive" + suffix +
                            "(UnionObj.m_d, from_buf, pos, lenbuf);");
        body += line(2, "if (pos == 0) return 0;");
        body += line(2, "switch (" + switchSubject(*unionType, "UnionObj.m_d") + ") {");
        body += caseLines(*unionType, labels,
                          [this, unionType, &suffix](std::size_t i, const std::string& a) {
                              return "pos = " + UNPACK_F_NAME(unionType->m_caseTypes[i]) + suffix +
                                     "(" + a + ", from_buf, pos, lenbuf);";
                          });
        body += line(2, "}");
        body += line(2, "if (pos != 0) UnionObj.m_d_set = true;");
        body += line(2, "return pos;");
        writeHelper("unpack" + suffix, readParams(unionType->m_qualifiedName), body);
    }
    markWritten(UNPACK_FAMILY, unionType, BUILD_DONE);
}

void BuildePack::buildNextF(Union* unionType) {
    if (!claim(NEXT_FAMILY, unionType)) {
        return;
    }
    for (AnyType* type : unionType->m_caseTypes) {
        buildNextF(type);
    }
    const std::vector<std::string> labels = caseLabels(*unionType, m_moduleName, m_logger);
    AnyType* discriminator =
        unionType->m_discriminatorType != nullptr
            ? unionType->m_discriminatorType
            : unionType->getAnyTypeByString(unionType->m_discriminatorTypeName);
    // Spelled as the union class spells m_d, seen from this module's section.
    const std::string discriminatorType = discriminator->getRealType(m_moduleName);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        std::string body;
        body += line(2, discriminatorType + " discr{};");
        body += line(
            2, "pos = VEXA_PACK::unpackPrimitive" + suffix + "(discr, from_buf, pos, lenbuf);");
        body += line(2, "if (pos == 0) return 0;");
        body += line(2, "switch (" + switchSubject(*unionType, "discr") + ") {");
        body += caseLines(*unionType, labels,
                          [this, unionType, encapsulation](std::size_t i, const std::string& a) {
                              return "pos = " +
                                     NEXT_F_NAME(unionType->m_caseTypes[i], a, "from_buf", "pos",
                                                 "lenbuf", encapsulation) +
                                     ";";
                          });
        body += line(2, "}");
        body += line(2, "return pos;");
        writeHelper("next" + suffix, readParams(unionType->m_qualifiedName), body);
    }
    markWritten(NEXT_FAMILY, unionType, BUILD_NOT_NEEDED);
}

}  // namespace NLX
