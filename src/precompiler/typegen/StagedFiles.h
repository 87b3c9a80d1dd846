#ifndef TESSGEN_TYPEGEN_STAGEDFILES_H
#define TESSGEN_TYPEGEN_STAGEDFILES_H

#include <fstream>
#include <string>
#include <vector>

namespace NLX {

// The output files of one compilation, written under a temporary name beside their final
// paths ("<path>.partial") and moved into place together once the whole run has succeeded.
//
// Until commit() no final path is touched. discard() (and the destructor of an object not
// committed) removes the temporary files and the directories this object created, so a run
// refused half-way leaves the result directory as it was. commit() first checks that no
// final path is held by a directory, then renames file by file; each rename replaces the old
// file at once, so a reader never sees a half-written one. Failures throw NLX::ZetException
// with a Russian text naming the path.
class StagedFiles {
public:
    StagedFiles() = default;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;
    ~StagedFiles();

    // Creates the directory and its missing parents, remembering each one it made.
    void createDirectories(const std::string& path);
    // Opens the stream (truncating) on the temporary name of finalPath.
    void open(std::ofstream& stream, const std::string& finalPath);
    // Moves every opened file into place; the streams must be closed.
    void commit();
    // Removes what was written and the directories made; the object can be used again.
    void discard();

private:
    std::vector<std::string> m_createdDirectories;  // parents first
    std::vector<std::string> m_files;               // final paths
};

}  // namespace NLX

#endif
