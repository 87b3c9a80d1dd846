#ifndef VEXA_NLX_RESOURCE_H
#define VEXA_NLX_RESOURCE_H

#include "common/nlx/ResourceErrors.h"

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace NLX {

// Reader of resource text files: named lists of text lines, with the list of all names under
// RESOURCE_NAME_LIST. A definition line is "NAME = count" (or "NAME= count"); the next lines
// are the elements, up to count or to a line with the end marker. Count 0 means the default
// count, -1 an empty list. Lines starting with "///" are comments, carriage returns vanish.
// The loaded table can be turned into the source of a class holding the same texts.
class Resource {
public:
    // The end-of-list marker line (a constant, so it is usable during static initialisation).
    static constexpr char m_endOfvector[] = "DA4E7EA9666C45AAA77951C85CCEE386";
    // Larger resource files are refused.
    static constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

    Resource() = default;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    // Loads a file: every listed resource into the table. Errors pass to the caller.
    void set(const std::string& fileName, unsigned int defaultCount);

    // Reads the file into the resource text (comments and carriage returns dropped).
    void openFile(const std::string& fileName);
    // Positions the text stream behind the "=" of the definition of name found from offset.
    void readParam(const std::string& name, unsigned long offset);
    // Reads a list of names from the start of the text; blanks are removed from each.
    void readParam(const std::string& name, std::vector<std::string>& names);
    // Reads a list of whole lines, its definition found from offset.
    void readResourceMap(const std::string& name, std::vector<std::string>& lines,
                         unsigned long offset);
    // Fills the table with every resource of RESOURCE_NAME_LIST.
    void readResourceMap();

    std::vector<std::string> get(const std::string& name) const;
    // Lines begin..end (end below begin: to the last), each behind the current indentation,
    // joined by line feeds.
    std::string getStr(const std::string& name, unsigned int begin = 0, int end = -1) const;
    // The loaded names in the order of RESOURCE_NAME_LIST.
    const std::vector<std::string>& getNames() const { return m_names; }
    // Drops the file text; the table stays.
    void clear();

    // The text fit for a C++ string literal: backslashes doubled, quotes escaped.
    std::string replaceLiteral(const std::string& text) const;

    // Writes dir/include/<className>.h and dir/src/<className>.cpp: a class holding the table.
    void createCPP(const std::string& className, const std::string& dir);
    void openCppFile();
    void closeCppFile();

private:
    void readList(const std::string& name, std::vector<std::string>& out, unsigned long offset,
                  bool nameList);
    [[noreturn]] void throwReadFailure(const std::string& name, bool nameList) const;
    const std::vector<std::string>& lines(const std::string& name) const;
    void writeHeader(const std::string& className);
    void writeSource(const std::string& className);

    bool m_loaded = false;
    unsigned int m_defaultCount = 0;
    std::string m_fileName;
    bool m_fileRead = false;
    std::string m_text;
    // The stream runs over the whole text; m_streamBase is where the last definition's value
    // starts, so read positions can be told relative to it.
    std::istringstream m_stream;
    std::size_t m_streamBase = 0;
    std::unordered_map<std::string, std::vector<std::string>> m_table;
    std::vector<std::string> m_names;

    std::ofstream m_header;
    std::ofstream m_source;
    std::string m_headerPath;
    std::string m_sourcePath;
};

}  // namespace NLX

#endif
