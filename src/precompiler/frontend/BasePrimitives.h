#ifndef TESSGEN_FRONTEND_BASEPRIMITIVES_H
#define TESSGEN_FRONTEND_BASEPRIMITIVES_H

#include "precompiler/frontend/AnyType.h"

// The primitive types. They add nothing to AnyType: PrimitiveTypes fills their names, kind,
// size and alignment and keeps them as BasePrimitives.
class BasePrimitives : public AnyType {
public:
    using AnyType::AnyType;
};

class Boolean : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Byte : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Int16 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class UInt16 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Int32 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class UInt32 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Int64 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class UInt64 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Float32 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Float64 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Float128 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Char8 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Char32 : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

#endif
