// The union class: _d() and, per member, a setter that makes its case active and two getters
// that refuse an unset union and an inactive case.
#include "precompiler/typegen/BuildUnion.h"

#include "Indent.h"

namespace NLX {

void BuildUnion::buildMemberAccessors() {
    std::ostringstream& out = *m_classBodies;
    const std::string i2 = Indent::shiftIndent(2u);
    const std::string i3 = Indent::shiftIndent(3u);
    const std::string i4 = Indent::shiftIndent(4u);
    const std::string& u = m_className;
    const std::string& k = m_discriminator;

    out << i2 << "/**\n";
    out << i2 << "* @brief Методы доступа к дискриминанту\n";
    out << i2 << "*/\n";
    out << i2 << "inline " << k << " _d() const {\n";
    out << i3 << "return m_d;\n";
    out << i2 << "}\n";
    out << i2 << "inline " << k << "& _d() {\n";
    out << i3 << "return m_d;\n";
    out << i2 << "}\n";
    out << i2 << "/**\n";
    out << i2 << "* @brief Методы доступа к атрибутам объединения\n";
    out << i2 << "*/\n";

    for (std::size_t m = 0; m < m_memberNames.size(); ++m) {
        const std::string& n = m_memberNames[m];
        const std::string& t = m_typeTexts[m];
        const std::string x = m_storage + ".m_" + n;
        // A member carried by several cases is active under any of their labels; setting it
        // takes the first.
        std::vector<std::string> labels;
        for (std::size_t c = 0; c < m_caseMember.size(); ++c) {
            if (m_caseMember[c] == m) {
                labels.push_back(m_labels[c]);
            }
        }
        std::string inactive;
        for (const std::string& label : labels) {
            inactive += (inactive.empty() ? "m_d !=" : " && m_d !=") + label;
        }

        out << i2 << "inline void " << n << "(" << t << " value) {\n";
        out << i3 << "new (&" << x << ") " << t << "(value);\n";
        out << i3 << "m_d = " << labels.front() << ";\n";
        out << i3 << "m_d_set = true;;\n";
        out << i2 << "}\n";

        auto getter = [&](const std::string& head, const std::string& where) {
            out << i2 << head << "\n";
            out << i3 << "if (!m_d_set) {\n";
            out << i4 << "std::string error(\"" << m_notSetText << " \");\n";
            out << i4 << "error = error + \"" << u << "\";\n";
            out << i4 << "throw dds::core::InvalidArgumentError(error);\n";
            out << i3 << "}\n";
            out << i3 << "if (" << inactive << ") {\n";
            out << i4 << "std::string error(\"" << m_notActiveText << " \");\n";
            out << i4 << "error = error + \"" << where << "\";\n";
            out << i4 << "throw dds::core::InvalidArgumentError(error);\n";
            out << i3 << "}\n";
            out << i3 << "return " << x << ";\n";
            out << i2 << "}\n";
        };
        getter("inline " + t + " " + n + "() const {", u + "." + m_storage + "." + n);
        getter("inline " + t + "& " + n + "() {", x);
    }
}

}  // namespace NLX
