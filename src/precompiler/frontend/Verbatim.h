#ifndef TESSGEN_FRONTEND_VERBATIM_H
#define TESSGEN_FRONTEND_VERBATIM_H

#include <string>

// Text the model hands through to generated code of one language at one place.
struct Verbatim {
    std::string m_language;
    std::string m_placement;
    std::string m_text;
};

#endif
