#include "precompiler/typegen/StagedFiles.h"

#include "NlxUtils.h"
#include "ZetException.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace NLX {

namespace {

std::string partial(const std::string& finalPath) {
    return finalPath + ".partial";
}

}  // namespace

StagedFiles::~StagedFiles() {
    discard();
}

void StagedFiles::createDirectories(const std::string& path) {
    createDir(path, &m_createdDirectories);
}

void StagedFiles::open(std::ofstream& stream, const std::string& finalPath) {
    m_files.push_back(finalPath);
    stream.open(partial(finalPath), std::ios::out | std::ios::trunc);
    if (!stream.is_open()) {
        throw ZetException("Не смог открыть файл: " + finalPath);
    }
}

void StagedFiles::commit() {
    // A directory in a file's place would stop the renames half-way: refuse before the first.
    for (const std::string& path : m_files) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            throw ZetException("Не смог открыть файл: " + path);
        }
    }
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (std::rename(partial(m_files[i]).c_str(), m_files[i].c_str()) != 0) {
            const std::string path = m_files[i];
            m_files.erase(m_files.begin(), m_files.begin() + static_cast<std::ptrdiff_t>(i));
            throw ZetException("Не смог записать файл: " + path);
        }
    }
    m_files.clear();
    m_createdDirectories.clear();
}

void StagedFiles::discard() {
    for (const std::string& path : m_files) {
        ::unlink(partial(path).c_str());
    }
    m_files.clear();
    // Deepest first; a directory someone else filled meanwhile stays.
    for (auto it = m_createdDirectories.rbegin(); it != m_createdDirectories.rend(); ++it) {
        ::rmdir(it->c_str());
    }
    m_createdDirectories.clear();
}

}  // namespace NLX
