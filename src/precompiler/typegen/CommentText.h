#ifndef TESSGEN_TYPEGEN_COMMENTTEXT_H
#define TESSGEN_TYPEGEN_COMMENTTEXT_H

#include <string>

namespace NLX {

// A model text made safe inside a generated /* ... */ comment: "*/" would end the comment
// early and "/*" inside one is warned about, so a blank goes between the two characters of
// each ("* /", "/ *"). Every comment writer of the type-code generators passes model texts
// (definitions, paths) through here; nothing else changes.
std::string commentText(const std::string& text);

}  // namespace NLX

#endif
