#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexares {

// The texts of one message resource file: ids first..last, each with a readable, a binary and
// a wide text. Immutable once it is in the manager's chain.
class StringResourceList {
public:
    // `fileName` is kept as given (not the path it was found under).
    explicit StringResourceList(const char* fileName);
    // Frees the rest of the chain as well.
    ~StringResourceList();

    StringResourceList(const StringResourceList&) = delete;
    StringResourceList& operator=(const StringResourceList&) = delete;

    // Appends the record of id first + count; the first call sets `first`.
    void addRecord(uint32_t id, std::string readable, std::string binary, std::wstring wide);

    // The text of an id, null when the id lies outside first..last.
    const char* getString(uint32_t id) const;
    const char* getBinaryString(uint32_t id) const;
    const wchar_t* getWstring(uint32_t id) const;

    uint32_t getFirst() const { return m_first; }
    // Equal to getFirst() for a list without records (an empty file gives 0 and 0).
    uint32_t getLast() const;
    size_t size() const { return m_readable.size(); }
    const char* getFileName() const { return m_fileName.c_str(); }
    StringResourceList* getNext() const { return m_next; }
    void setNext(StringResourceList* next) { m_next = next; }

private:
    bool holds(uint32_t id) const { return id >= m_first && id - m_first < m_readable.size(); }

    std::string m_fileName;
    uint32_t m_first = 0;
    std::vector<std::string> m_readable;
    std::vector<std::string> m_binary;
    std::vector<std::wstring> m_wide;
    StringResourceList* m_next = nullptr;  // owned
};

}  // namespace vexares
