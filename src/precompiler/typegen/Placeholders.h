#ifndef TESSGEN_TYPEGEN_PLACEHOLDERS_H
#define TESSGEN_TYPEGEN_PLACEHOLDERS_H

#include <string>
#include <utility>
#include <vector>

namespace NLX {

// Placeholder words and the texts that stand in for them.
using Placeholders = std::vector<std::pair<std::string, std::string>>;

// Every placeholder of the line replaced in one pass, left to right: where several start at
// one place the first listed wins, and inserted text is never searched again, so a value
// that holds a placeholder word (a module MYTOPICS for TOPIC) stays as given.
std::string substitute(const std::string& line, const Placeholders& placeholders);

// substitute on every line.
std::vector<std::string> substitute(std::vector<std::string> lines,
                                    const Placeholders& placeholders);

}  // namespace NLX

#endif
