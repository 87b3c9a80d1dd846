#include "common/res/StringResourceList.h"

namespace vexares {

StringResourceList::StringResourceList(const char* fileName)
    : m_fileName(fileName ? fileName : "") {}

StringResourceList::~StringResourceList() {
    // Iteratively, so that a long chain cannot exhaust the stack.
    StringResourceList* next = m_next;
    while (next != nullptr) {
        StringResourceList* after = next->m_next;
        next->m_next = nullptr;
        delete next;
        next = after;
    }
}

void StringResourceList::addRecord(uint32_t id, std::string readable, std::string binary,
                                   std::wstring wide) {
    if (m_readable.empty()) {
        m_first = id;
    }
    m_readable.push_back(std::move(readable));
    m_binary.push_back(std::move(binary));
    m_wide.push_back(std::move(wide));
}

uint32_t StringResourceList::getLast() const {
    return m_readable.empty() ? m_first : m_first + static_cast<uint32_t>(m_readable.size() - 1);
}

const char* StringResourceList::getString(uint32_t id) const {
    return holds(id) ? m_readable[id - m_first].c_str() : nullptr;
}

const char* StringResourceList::getBinaryString(uint32_t id) const {
    return holds(id) ? m_binary[id - m_first].c_str() : nullptr;
}

const wchar_t* StringResourceList::getWstring(uint32_t id) const {
    return holds(id) ? m_wide[id - m_first].c_str() : nullptr;
}

}  // namespace vexares
