#include "precompiler/typegen/StagedFiles.h"

#include "ZetException.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace NLX {

namespace {

std::string partial(const std::string& finalPath) {
    return finalPath + ".partial";
}

std::string errorText(int code) {
    char buffer[256];
    // GNU strerror_r: the result may or may not point into the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

}  // namespace

StagedFiles::~StagedFiles() {
    discard();
}

void StagedFiles::createDirectories(const std::string& path) {
    std::string full = path;
    if (full.empty() || full.back() != '/') {
        full += '/';
    }
    for (std::size_t slash = full.find('/', 1); slash != std::string::npos;
         slash = full.find('/', slash + 1)) {
        const std::string level = full.substr(0, slash);
        if (::mkdir(level.c_str(), 0775) == 0) {
            m_createdDirectories.push_back(level);
            continue;
        }
        int error = errno;
        if (error == EEXIST) {
            struct stat info {};
            if (::stat(level.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                continue;
            }
            error = ENOTDIR;
        }
        throw ZetException(errorText(error) + " при создании каталога " + level);
    }
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
