#ifndef TESSGEN_FRONTEND_BASEPRIMITIVES_H
#define TESSGEN_FRONTEND_BASEPRIMITIVES_H

#include "precompiler/frontend/AnyType.h"

// The primitive types. They add nothing to AnyType: PrimitiveTypes fills their names, kind,
// size and alignment and keeps them as BasePrimitives.
class BasePrimitives : public AnyType {
public:
    using AnyType::AnyType;
};

class Boolean final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Byte final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Int16 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class UInt16 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Int32 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class UInt32 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Int64 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class UInt64 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Float32 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Float64 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Float128 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Char8 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

class Char32 final : public BasePrimitives {
public:
    using BasePrimitives::BasePrimitives;
};

#endif
