#include "ds/service/Console.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/log/Logger.h"
#include "common/res/DsMessages.h"
#include "ds/service/DurabilityService.h"

namespace vexa::ds {

namespace {

constexpr size_t WORD_SIZE = 15;

using vexalog::Logger;

// The run of non-blank characters at `p`, cut to 15; `p` moves past what was taken.
std::string takeWord(const char*& p) {
    std::string word;
    while (*p && *p != ' ' && word.size() < WORD_SIZE)
        word += *p++;
    return word;
}

void skipBlanks(const char*& p) {
    while (*p == ' ')
        ++p;
}

}  // namespace

bool parseDomainId(const char* text, unsigned& id) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || value < 0 || value > DurabilityService::MAX_DOMAIN_ID)
        return false;
    if (value == 0 && std::strcmp(text, "0") != 0)
        return false;
    id = unsigned(value);
    return true;
}

void handleHelpUC() {
    Logger::printf(vexares::DS_MSG_HELP);
}

void handleListDomainsUC() {
    std::vector<unsigned> ids;
    pds->listDomains(ids);
    if (ids.empty()) {
        Logger::printf(vexares::DS_MSG_NO_DOMAINS);
        return;
    }
    Logger::printf(vexares::DS_MSG_DOMAIN_LIST);
    for (unsigned id : ids)
        Logger::printf("\n%d", int(id));
    Logger::printf("\n");
}

void handleAddDomainUC(const char* arg) {
    unsigned id = 0;
    if (!parseDomainId(arg, id)) {
        Logger::printf(vexares::DS_MSG_DOMAIN_REFUSED, arg);
        return;
    }
    Logger::printf(vexares::DS_MSG_IN_PROGRESS);
    Logger::printf(
        pds->addDomain(id) ? vexares::DS_MSG_DOMAIN_ADDED : vexares::DS_MSG_DOMAIN_REFUSED, arg);
}

void handleCloseDomainUC(const char* arg) {
    unsigned id = 0;
    if (!parseDomainId(arg, id)) {
        Logger::printf(vexares::DS_MSG_DOMAIN_REFUSED, arg);
        return;
    }
    Logger::printf(vexares::DS_MSG_IN_PROGRESS);
    Logger::printf(
        pds->closeDomain(id) ? vexares::DS_MSG_DOMAIN_CLOSED : vexares::DS_MSG_DOMAIN_REFUSED, arg);
}

bool handleUserCommand(const char* line) {
    const char* p = line;
    skipBlanks(p);
    if (!*p)
        return false;
    const std::string word = takeWord(p);
    if (word == "exit")
        return true;
    if (word == "help") {
        handleHelpUC();
        return false;
    }
    if (word == "list") {
        handleListDomainsUC();
        return false;
    }
    const bool add = word == "add";
    if (!add && word != "close") {
        Logger::printf(vexares::DS_MSG_UNKNOWN_COMMAND, word.c_str());
        return false;
    }
    skipBlanks(p);
    if (!*p) {
        Logger::printf(vexares::DS_MSG_NO_ARGUMENT, word.c_str());
        return false;
    }
    const std::string arg = takeWord(p);
    if (add)
        handleAddDomainUC(arg.c_str());
    else
        handleCloseDomainUC(arg.c_str());
    return false;
}

}  // namespace vexa::ds
