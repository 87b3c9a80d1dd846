#include "common/res/ResourceManager.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "common/conf/ConfigurationManager.h"
#include "common/log/Logger.h"
#include "common/os/OsRegularFile.h"
#include "common/res/ResourceFileReader.h"

namespace vexares {

const char* const ResourceManager::m_pszLoggerPrefix = "ResourceManager";
const char* const ResourceManager::m_aszResourceFileName[4] = {
    "", "crc_strings.res", "lsrc_strings.res", "lrc_strings.res"};

ResourceManager& ResourceManager::getInstance() {
    // Never destroyed: threads and static destructors may still log while the process exits,
    // and every text handed out must stay valid until then.
    static ResourceManager* instance = new ResourceManager;
    return *instance;
}

bool ResourceManager::findList(const char* fileName) const {
    if (fileName == nullptr) {
        return false;
    }
    for (const StringResourceList* l = head(); l != nullptr; l = l->getNext()) {
        if (std::strcmp(l->getFileName(), fileName) == 0) {
            return true;
        }
    }
    return false;
}

unsigned ResourceManager::initialise(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') {
        return RES_NO_NAME;
    }
    // Lock order: the load mutex, then the configuration's VEXA_HOME mutex (getVexaHome).
    std::lock_guard<std::mutex> lock(m_loadMutex);
    if (findList(fileName)) {
        return RES_ALREADY_LOADED;
    }
    // Only regular files are read: a FIFO would block the open and a device never ends.
    FILE* file = nullptr;
    vexa::RegularFileOpen opened = vexa::OsOpenRegularFile(fileName, file);
    if (opened == vexa::RegularFileOpen::MISSING) {
        constexpr unsigned kRootSize = 2048;
        char root[kRootSize];
        if (vexaconf::ConfigurationManager::getVexaHome(kRootSize, root) != 0) {
            return RES_HOME_TOO_LONG;
        }
        if (std::strlen(root) + std::strlen(fileName) + 1 > kRootSize) {
            return RES_PATH_TOO_LONG;
        }
        // An unset VEXA_HOME gives an empty root: the path then starts at the file-system root.
        const std::string path = std::string(root) + "/resources/strings/" + fileName;
        opened = vexa::OsOpenRegularFile(path.c_str(), file);
        if (opened == vexa::RegularFileOpen::MISSING) {
            return RES_NOT_FOUND;
        }
    }
    if (opened == vexa::RegularFileOpen::NOT_REGULAR) {
        vexalog::Logger::printf("%s: Not a regular file.", m_pszLoggerPrefix);
        return RES_BAD_CONTENT;
    }
    const unsigned status = readFileLocked(fileName, file);
    if (std::fclose(file) != 0) {
        return RES_HOME_TOO_LONG;
    }
    return status;
}

unsigned ResourceManager::readFile(const char* fileName, FILE* stream) {
    std::lock_guard<std::mutex> lock(m_loadMutex);
    return readFileLocked(fileName, stream);
}

unsigned ResourceManager::readFileLocked(const char* fileName, FILE* stream) {
    std::unique_ptr<StringResourceList> list;
    const unsigned status = ResourceFileReader::read(fileName, stream, list);
    if (status != RES_OK) {
        return status;
    }
    // The list is complete before it is published; readers see it whole or not at all.
    list->setNext(m_head.load(std::memory_order_relaxed));
    m_head.store(list.release(), std::memory_order_release);
    return RES_OK;
}

const char* ResourceManager::getString(unsigned id) {
    if (id == LOG_START_MESSAGE) {
        return "";
    }
    for (const StringResourceList* l = getInstance().head(); l != nullptr; l = l->getNext()) {
        if (const char* text = l->getString(id)) {
            return text;
        }
    }
    return nullptr;
}

const char* ResourceManager::getBinaryString(unsigned id) {
    if (id == LOG_START_MESSAGE) {
        return "|";
    }
    for (const StringResourceList* l = getInstance().head(); l != nullptr; l = l->getNext()) {
        if (const char* text = l->getBinaryString(id)) {
            return text;
        }
    }
    return nullptr;
}

const wchar_t* ResourceManager::getWstring(unsigned id) {
    if (id == LOG_START_MESSAGE) {
        return L"";
    }
    for (const StringResourceList* l = getInstance().head(); l != nullptr; l = l->getNext()) {
        if (const wchar_t* text = l->getWstring(id)) {
            return text;
        }
    }
    return nullptr;
}

size_t ResourceManager::mbslen(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    std::mbstate_t state{};
    size_t count = 0;
    const size_t total = std::strlen(text);
    size_t pos = 0;
    while (pos < total) {
        const size_t n = std::mbrlen(text + pos, total - pos, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            return static_cast<size_t>(-1);
        }
        pos += n == 0 ? 1 : n;
        ++count;
    }
    return count;
}

}  // namespace vexares
