#include "common/nlx/Resource.h"

#include "Indent.h"

#include <sys/stat.h>

#include <algorithm>

namespace NLX {

namespace {
const char kNameList[] = "RESOURCE_NAME_LIST";
const unsigned int kEmptyList = 0xFFFFFFFFu;  // the count -1
}  // namespace

void Resource::set(const std::string& fileName, unsigned int defaultCount) {
    m_defaultCount = defaultCount;
    openFile(fileName);
    readResourceMap();
    m_loaded = true;
    clear();
}

void Resource::openFile(const std::string& fileName) {
    m_fileName = fileName;
    m_text.clear();
    m_fileRead = false;
    m_stream.str(std::string());
    m_stream.clear();

    const std::string cannotOpen =
        std::string("Файл не открыт") + "Resource::openFile." + "Не смог открыть файл: " + fileName;
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw FileIsNotOpen(cannotOpen);
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open()) {
        throw FileIsNotOpen(cannotOpen);
    }
    std::string raw;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        if (raw.size() + static_cast<std::size_t>(in.gcount()) > kMaxFileBytes) {
            throw ZetException("Resource::openFile. Файл ресурсов больше " +
                               std::to_string(kMaxFileBytes) + " байт: " + fileName);
        }
        raw.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw FileIsNotOpen(cannotOpen);
    }

    m_text.reserve(raw.size() + 1);
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\n', start);
        if (end == std::string::npos) {
            end = raw.size();
        }
        std::string line = raw.substr(start, end - start);
        start = end + 1;
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (line.compare(0, 3, "///") == 0) {
            continue;
        }
        m_text += line;
        m_text += '\n';
    }
    m_stream.str(m_text);
    m_stream.clear();
    m_fileRead = true;
}

void Resource::readParam(const std::string& name, unsigned long offset) {
    if (!m_fileRead) {
        throw ObjectClassIsNotInitialized(std::string("Resource::readParam.") +
                                          "Ошибка. Конфигурационный файл еще не считан.\n" +
                                          "Вызов сделан до вызова метода openFile!!!");
    }
    // A definition starts a line and the name is followed by "=" or a blank, so AB is not
    // taken for the start of ABC.
    std::size_t pos = offset;
    for (;;) {
        pos = pos > m_text.size() ? std::string::npos : m_text.find(name, pos);
        if (pos == std::string::npos) {
            throw ResourseIsNotFound(std::string("Resource::readParam. ") +
                                     "Параметр не найден: " + name);
        }
        const std::size_t after = pos + name.size();
        const bool lineStart = pos == 0 || m_text[pos - 1] == '\n';
        const bool delimited =
            after < m_text.size() && (m_text[after] == '=' || m_text[after] == ' ');
        if (lineStart && delimited) {
            break;
        }
        ++pos;
    }
    const std::size_t equals = m_text.find('=', pos);
    if (equals == std::string::npos) {
        throw ResourseOutOfBounds(std::string("Resource::readParam.") +
                                  "Ошибка при задании значения параметру: " + name);
    }
    m_streamBase = equals + 1;
    m_stream.clear();
    m_stream.seekg(static_cast<std::streamoff>(m_streamBase));
}

void Resource::readParam(const std::string& name, std::vector<std::string>& names) {
    readList(name, names, 0, true);
}

void Resource::readResourceMap(const std::string& name, std::vector<std::string>& lines,
                               unsigned long offset) {
    readList(name, lines, offset, false);
}

void Resource::readResourceMap() {
    m_table.clear();
    m_names.clear();
    std::vector<std::string> names;
    readParam(kNameList, names);
    // The search offset is the read position counted from behind the list's "=", not from
    // the start of the text: it lies before the end of the name list, and every definition
    // is found from there on.
    const std::streamoff read = m_stream.tellg();
    const unsigned long offset =
        read < static_cast<std::streamoff>(m_streamBase)
            ? 0
            : static_cast<unsigned long>(read - static_cast<std::streamoff>(m_streamBase));
    for (const std::string& name : names) {
        if (name.empty()) {
            continue;  // a blank line in the name list names nothing
        }
        std::vector<std::string> list;
        readResourceMap(name, list, offset);
        if (m_table.find(name) == m_table.end()) {
            m_names.push_back(name);
        }
        m_table[name] = std::move(list);
    }
}

void Resource::readList(const std::string& name, std::vector<std::string>& out,
                        unsigned long offset, bool nameList) {
    readParam(name, offset);
    out.clear();
    unsigned int count = 0;
    m_stream >> count;
    if (!m_stream.good()) {
        throw EndOfFile("Не верно задан размер вектора " + name);
    }
    if (count == 0) {
        count = m_defaultCount;
    }
    if (count == kEmptyList) {
        return;
    }
    // Elements are appended one by one, never reserved from the count: the count is the
    // file's word, the lines are what is really there.
    std::string line;
    for (unsigned long i = 0;; ++i) {
        if (!std::getline(m_stream, line)) {
            throwReadFailure(name, nameList);
        }
        if (i == 0) {
            continue;  // the rest of the definition line
        }
        const bool marker =
            nameList ? line == m_endOfvector : line.find(m_endOfvector) != std::string::npos;
        if (marker) {
            return;
        }
        if (nameList) {
            line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
        }
        out.push_back(line);
        if (i == count) {
            return;
        }
    }
}

void Resource::throwReadFailure(const std::string& name, bool nameList) const {
    if (m_stream.eof()) {
        throw EndOfFile(name + ". Достигнут конец файла. Не все элементы вектора сосчитаны");
    }
    if (m_stream.fail()) {
        if (nameList) {
            throw ResourseTypeMissmatch(name + ". Input terminated by data type mismatch");
        }
        throw ZetException(name + ". Input terminated by data mismatch");
    }
    if (nameList) {
        throw ReadResourseErorrUncknownReason(name + ". Input terminated for unknown reason");
    }
    throw ZetException(name + ". Input terminated for unknown reason");
}

const std::vector<std::string>& Resource::lines(const std::string& name) const {
    const auto found = m_table.find(name);
    if (found == m_table.end()) {
        throw ResourseIsNotFound("Resourse is not found: " + name);
    }
    return found->second;
}

std::vector<std::string> Resource::get(const std::string& name) const {
    return lines(name);
}

std::string Resource::getStr(const std::string& name, unsigned int begin, int end) const {
    const std::vector<std::string>& list = lines(name);
    const std::size_t first = std::min<std::size_t>(begin, list.size());
    std::size_t last = list.size();  // one past the last line taken
    if (end >= 0 && static_cast<std::size_t>(end) >= first &&
        static_cast<std::size_t>(end) < list.size()) {
        last = static_cast<std::size_t>(end) + 1;
    }
    std::string text;
    for (std::size_t i = first; i < last; ++i) {
        text += Indent::shiftIndent() + list[i] + "\n";
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

void Resource::clear() {
    m_fileName.clear();
    m_text.clear();
    m_stream.str(std::string());
    m_stream.clear();
    m_streamBase = 0;
    m_fileRead = false;
}

}  // namespace NLX
