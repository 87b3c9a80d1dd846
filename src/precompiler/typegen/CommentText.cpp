#include "precompiler/typegen/CommentText.h"

namespace NLX {

std::string commentText(const std::string& text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        safe += text[i];
        if (i + 1 < text.size()) {
            const char here = text[i];
            const char next = text[i + 1];
            if ((here == '*' && next == '/') || (here == '/' && next == '*')) {
                safe += ' ';
            }
        }
    }
    return safe;
}

}  // namespace NLX
