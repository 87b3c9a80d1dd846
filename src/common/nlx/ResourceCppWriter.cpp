// The resource class generator: turns a loaded resource table into a class with the same texts.
#include "common/nlx/Resource.h"

#include "Indent.h"
#include "common/nlx/Utf8Locale.h"

#include <cctype>

namespace NLX {

namespace {

void put(std::ofstream& out, unsigned int level, const std::string& text) {
    out << Indent::shiftIndent(level) << text << '\n';
}

bool isIdentifier(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) {
        return false;
    }
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return false;
        }
    }
    return true;
}

void openForWriting(std::ofstream& out, const std::string& path) {
    if (out.is_open()) {
        out.close();
    }
    out.clear();
    out.imbue(utf8Locale());
    out.open(path, std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        throw ZetException("Не смог создать (открыть) файл: " + path);
    }
}

}  // namespace

std::string Resource::replaceLiteral(const std::string& text) const {
    std::string literal;
    literal.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            literal += '\\';
        }
        literal += c;
    }
    return literal;
}

void Resource::createCPP(const std::string& className, const std::string& dir) {
    if (!m_loaded) {
        throw ZetException("Метод set еще не выполнен или выполнен с ошибкой!!!");
    }
    // Enumerators and the class name are written as they stand: refuse what cannot compile.
    for (const std::string& name : m_names) {
        if (!isIdentifier(name)) {
            throw ZetException("Имя ресурса не годится в идентификатор C++: " + name);
        }
    }
    if (!isIdentifier(className)) {
        throw ZetException("Имя класса не годится в идентификатор C++: " + className);
    }
    m_headerPath = dir + "/include/" + className + ".h";
    m_sourcePath = dir + "/src/" + className + ".cpp";
    openCppFile();
    writeHeader(className);
    writeSource(className);
    closeCppFile();
}

void Resource::openCppFile() {
    openForWriting(m_header, m_headerPath);
    openForWriting(m_source, m_sourcePath);
}

void Resource::closeCppFile() {
    m_header.close();
    m_source.close();
}

void Resource::writeHeader(const std::string& className) {
    std::ofstream& h = m_header;
    put(h, 0, "#ifndef ZET_RESOURCE_H_" + className);
    put(h, 0, "#define ZET_RESOURCE_H_" + className);
    put(h, 0, "#include <map>");
    put(h, 0, "#include <vector>");
    put(h, 0, "#include \"Indent.h\"");
    h << '\n';
    put(h, 0, "class " + className + "{");
    put(h, 0, "public:");
    put(h, 1, "enum class res{");
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        put(h, 2, m_names[i] + (i + 1 < m_names.size() ? "," : ""));
    }
    put(h, 1, "};");
    put(h, 1, className + "() {set();};");
    put(h, 1, "static void set();");
    put(h, 1, "std::vector<std::string> get (res resourceName) {");
    put(h, 2, "return R[resourceName];");
    put(h, 1, "};");
    put(h, 1, "std::string getStr(res resourceName, unsigned _begin=0, int _end=-1);");
    put(h, 0, "private:");
    put(h, 1, "static std::map <res, std::vector <std::string> > R;");
    put(h, 0, "};");
    put(h, 0, "#endif //ZET_RESOURCE_H_" + className);
    h.flush();
}

void Resource::writeSource(const std::string& className) {
    std::ofstream& s = m_source;
    put(s, 0, "#include \"" + className + ".h\"");
    put(s, 1,
        "std::map <" + className + "::res, std::vector <std::string> > " + className + "::R;");
    put(s, 1, "using namespace NLX;");
    put(s, 1, "void " + className + "::set() {");
    put(s, 2, "std::vector <std::string> tmp;");
    for (const std::string& name : m_names) {
        for (const std::string& line : m_table.at(name)) {
            put(s, 2, "tmp.push_back(\"" + replaceLiteral(line) + "\");");
        }
        put(s, 2, "R[res::" + name + "] = tmp;");
        put(s, 2, "tmp.clear();");
    }
    put(s, 1, "};");
    put(s, 1,
        "std::string " + className + "::getStr(res resourceName, unsigned _begin, int _end) {");
    put(s, 2, "std::string retStr = \"\";");
    put(s, 2, "auto res2 = R[resourceName];");
    put(s, 2, "size_t begin = _begin, end = res2.size();");
    put(s, 2, "if (begin > end) begin = end;");
    put(s, 2, "if (_end >= (int)begin) {");
    put(s, 3, "if (_end < (int)end)  end = unsigned(_end+1);");
    put(s, 2, "}");
    put(s, 2, "for (auto i = begin; i < end; i++) {");
    put(s, 3, "retStr += SD + res2[i] + \"\\n\";");
    put(s, 2, "}");
    // An empty range gives an empty text, not an erase before the start.
    put(s, 2, "if (!retStr.empty()) retStr.erase(retStr.size()-1);");
    put(s, 2, "return retStr;");
    put(s, 1, "};");
    s.flush();
}

}  // namespace NLX
