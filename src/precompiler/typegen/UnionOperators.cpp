// The union class: copy and move, both as constructors and as assignments, and ==. Each takes
// the flag and the discriminator and, for a set union, the member the discriminator selects.
#include "precompiler/typegen/BuildUnion.h"

#include "Indent.h"

namespace NLX {

namespace {

std::string level(unsigned n) {
    return Indent::shiftIndent(n);
}

const char* const kCopied = "* @param[in] other Константная ссылка на копируемый объект";
const char* const kMoved = "* @param[in] other rvalue-ссылка на копируемый объект";

}  // namespace

void BuildUnion::docComment(const char* title, const std::vector<std::string>& lines) {
    std::ostringstream& out = *m_classBodies;
    out << level(2) << "/**\n";
    out << level(2) << "* @brief " << title << "\n";
    for (const std::string& line : lines) {
        out << level(2) << line << "\n";
    }
    out << level(2) << "*/\n";
}

void BuildUnion::caseSwitch(unsigned k, const std::function<std::string(std::size_t)>& statement) {
    std::ostringstream& out = *m_classBodies;
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        if (i == m_defaultCase) {
            continue;
        }
        out << level(k) << "case " << m_labels[i] << ":\n";
        out << level(k + 1) << statement(m_caseMember[i]) << "\n";
        out << level(k + 1) << "break;\n";
    }
    // Last wherever it stands in case order: a value no label names selects it too.
    out << level(k) << "case " << m_labels[m_defaultCase] << ":\n";
    out << level(k) << "default :\n";
    out << level(k + 1) << statement(m_caseMember[m_defaultCase]) << "\n";
    out << level(k) << "}\n";
}

void BuildUnion::buildCopyConstructor() {
    std::ostringstream& out = *m_classBodies;
    const std::string& u = m_className;
    docComment("Конструктор копирования", {kCopied});
    out << level(2) << "inline " << u << " (" << u << " const & other) {\n";
    out << level(3) << "m_d_set = other.m_d_set;\n";
    out << level(3) << "m_d = other.m_d;\n";
    out << level(3) << "if (m_d_set) { \n";
    out << level(4) << "switch (" << m_switchSubject << ") {\n";
    // Placement new: the member's lifetime begins here.
    caseSwitch(4, [this](std::size_t m) {
        return "new (&" + storageOf(m) + ") " + m_typeTexts[m] + "(other." + storageOf(m) + ");";
    });
    out << level(3) << "}\n";
    out << level(2) << "}\n";
}

void BuildUnion::buildMoveConstructor() {
    std::ostringstream& out = *m_classBodies;
    const std::string& u = m_className;
    docComment("Конструктор перемещения", {kMoved});
    out << level(2) << "inline " << u << " (" << u << " && other) {\n";
    out << level(3) << "m_d_set = std::move(other.m_d_set);\n";
    out << level(3) << "m_d = std::move(other.m_d);\n";
    out << level(3) << "if (!m_d_set) { return;};\n";
    out << level(3) << "switch (" << m_switchSubject << ") {\n";
    caseSwitch(3, [this](std::size_t m) {
        return "new (&" + storageOf(m) + ") " + m_typeTexts[m] + "(std::move(other." +
               storageOf(m) + "));";
    });
    out << level(2) << "}\n";
}

void BuildUnion::assignmentOperator(bool move) {
    std::ostringstream& out = *m_classBodies;
    const std::string& u = m_className;
    docComment(move ? "Оператор перемещения" : "Оператор копирования", {move ? kMoved : kCopied});
    if (move) {
        out << level(2) << "inline " << u << "& operator = (" << u << " && other) {\n";
    } else {
        out << level(2) << "inline " << u << "& operator = (const " << u << " & other) {\n";
    }
    out << level(3) << "if (this != &other) {\n";
    if (move) {
        out << level(4) << "m_d_set = std::move(other.m_d_set);\n";
        out << level(4) << "m_d = std::move(other.m_d);\n";
    } else {
        out << level(4) << "m_d_set = other.m_d_set;\n";
        out << level(4) << "m_d = other.m_d;\n";
    }
    out << level(4) << "if (m_d_set) {\n";
    out << level(5) << "switch (" << m_switchSubject << ") {\n";
    // The member that was active owns nothing (fixed length only), so it needs no destructor.
    caseSwitch(5, [this, move](std::size_t m) {
        const std::string from = "other." + storageOf(m);
        return "new (&" + storageOf(m) + ") " + m_typeTexts[m] + "(" +
               (move ? "std::move(" + from + ")" : from) + ");";
    });
    out << level(4) << "}\n";
    out << level(3) << "}\n";
    out << level(3) << "return *this;\n";
    out << level(2) << "}\n";
}

void BuildUnion::buildOperatorCopy() {
    assignmentOperator(false);
}

void BuildUnion::buildOperatorMove() {
    assignmentOperator(true);
}

void BuildUnion::buildOperatorCompare() {
    std::ostringstream& out = *m_classBodies;
    docComment("Оператор сравнения ==",
               {"* @param[in] other Константная ссылка на сравниваемый объект",
                "* @return true если объекты равны, иначе false"});
    out << level(2) << "inline bool operator == (const " << m_className << "& other) const {\n";
    out << level(3) << "bool isEquel = true;\n";
    out << level(3) << "if (this != &other) {\n";
    // Unset unions are equal whatever their discriminators say: no member is alive in them.
    out << level(4) << "if (!m_d_set && !other.m_d_set) return true;\n";
    out << level(4) << "isEquel = (m_d_set == other.m_d_set) && (m_d == other.m_d);\n";
    out << level(4) << "if (!isEquel) return false;\n";
    out << level(4) << "switch (" << m_switchSubject << ") {\n";
    caseSwitch(4, [this](std::size_t m) {
        return "isEquel = " + storageOf(m) + " == other." + storageOf(m) + ";";
    });
    out << level(3) << "}\n";
    out << level(3) << "return isEquel;\n";
    out << level(2) << "}\n";
}

}  // namespace NLX
