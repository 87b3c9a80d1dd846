#pragma once

#include <cstddef>

namespace vexa::ds {

// Console commands of vexads, run against pds. True only for "exit".
bool handleUserCommand(const char* line);

void handleHelpUC();
void handleListDomainsUC();
void handleAddDomainUC(const char* arg);
void handleCloseDomainUC(const char* arg);

// A domain id as typed: leading decimal digits, trailing characters ignored. Refuses a
// negative number, one above 229 or beyond 64 bits, and 0 written other than "0".
bool parseDomainId(const char* text, unsigned& id);

}  // namespace vexa::ds
