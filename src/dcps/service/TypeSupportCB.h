#pragma once

#include <string>

#include "vexa/TypeSupportFactoryImpl.h"

namespace vexa::dcps {

// The registry entry of one type name. It owns its factory, whose back-pointer names it; the
// participant factory owns every entry.
struct TypeSupportCB {
    TypeSupportCB(std::string name, api::TypeSupportFactoryImpl* factory)
        : typeName(std::move(name)), factory_(factory) {}
    ~TypeSupportCB() { delete factory_; }
    TypeSupportCB(TypeSupportCB const&) = delete;
    TypeSupportCB& operator=(TypeSupportCB const&) = delete;

    std::string typeName;
    api::TypeSupportFactoryImpl* factory_;
};

}  // namespace vexa::dcps
