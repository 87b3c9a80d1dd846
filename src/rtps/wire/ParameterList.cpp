#include "rtps/wire/ParameterList.h"

#include <cstdint>

#include "rtps/wire/ByteCursor.h"

namespace RTPS {

namespace {

// Calls add(id, length, value) per entry; returns the list's size, or 0 when it runs past
// `available`.
template <typename Add>
unsigned int walk(unsigned char* list, unsigned int available, Add add) {
    ByteCursor c(list, available);
    for (;;) {
        uint16_t id = 0;
        uint16_t length = 0;
        if (!c.readU16(id) || !c.readU16(length)) {
            return 0;
        }
        if (id == PID_SENTINEL) {
            return static_cast<unsigned int>(c.offset());
        }
        unsigned char* value = list + c.offset();
        if (!c.skip(length)) {
            return 0;
        }
        add(id, length, value);
    }
}

}  // namespace

unsigned int parseParameterList(unsigned char* list, unsigned int available,
                                std::vector<Parameter*>* out) {
    if (list == nullptr || out == nullptr) {
        return 0;
    }
    out->clear();
    unsigned int size =
        walk(list, available, [out](uint16_t id, uint16_t length, unsigned char* value) {
            out->push_back(new Parameter{id, length, value});
        });
    if (size == 0) {
        for (Parameter* p : *out) {
            delete p;
        }
        out->clear();
    }
    return size;
}

unsigned int parseParameterList(unsigned char* list, unsigned int available,
                                std::vector<Parameter>& out) {
    out.clear();
    if (list == nullptr) {
        return 0;
    }
    unsigned int size =
        walk(list, available, [&out](uint16_t id, uint16_t length, unsigned char* value) {
            out.push_back(Parameter{id, length, value});
        });
    if (size == 0) {
        out.clear();
    }
    return size;
}

}  // namespace RTPS
