#ifndef TESSGEN_FRONTEND_ANYTYPE_H
#define TESSGEN_FRONTEND_ANYTYPE_H

#include "precompiler/frontend/TypeKind.h"
#include "precompiler/frontend/TypeRep.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The shared setting of a type with two one-byte flags. Only copied along; nothing decides on
// the flags.
struct SharedElem {
    explicit SharedElem(Shared shared) : m_shared(shared) {}

    Shared m_shared;
    bool m_unusedFlag = false;
    bool m_key = false;  // the type's key setting of the model
};

// Base of every type object of a model, from Boolean to a topic structure. Objects are held by
// value in one vector per class and point at each other with plain non-owning pointers, which
// stay valid while those vectors are neither resized nor copied. Never deleted through an
// AnyType*: there is no virtual destructor.
class AnyType : public SharedElem {
public:
    using TypeSet = std::set<AnyType*>;

    explicit AnyType(Shared shared = SHARED_NOT_GIVEN,
                     ExtensibilityKind extensibility = EXTENSIBILITY_FINAL);

    // Kinds 15..19, 21, 22.
    virtual bool isComlexType() const;
    // Map, sequence, array.
    virtual bool isContainer() const;
    virtual bool isPrimitiveBase() const;
    virtual bool isStringBase() const;
    // A fixed packed length by itself: primitive, enumeration or bit set.
    virtual bool isLenghthAsSimple() const;
    // Completes the derived fields once (names resolved into pointers, C++ texts, size,
    // alignment, flags, dependency set) and returns a copy of the dependency set.
    virtual TypeSet set();
    // The type behind one level of aliasing.
    virtual AnyType* getAnyTypePtrBase();

    // The registered type of that name: as given, else (for a name without "::") in this type's
    // module. Never null; throws NLX::ZetException for an unregistered name.
    AnyType* getAnyTypeByString(std::string name) const;
    // The spelling of this type in generated code of the given module: a primitive (also
    // through aliases) and the module-less String8 and String32 by their C++ spelling, an alias
    // by what its chain ends in, any other type by its short name in its own module and by its
    // qualified name elsewhere. Meaningful once set() has run.
    std::string getRealType(const std::string& module);
    // False when this type or anything it depends on is a map, sequence, string or union.
    // Meaningful once set() has run.
    bool isFixedLength() const;

    // Store the flag here and in every structurally equal type (the same-types set).
    void setPackBuild(enBuildPack value);
    void setUnPackBuild(enBuildPack value);
    void setNextBuild(enBuildPack value);
    void set_lenPackedBuild(enBuildPack value);

    std::string m_definition;     // the model's comment
    bool m_isSet = false;         // set() has completed the type
    std::string m_qualifiedName;  // module::name once registered; plain for base types
    std::string m_cppName;        // the name generated code uses for the type
    std::string m_cppTypeText;    // the C++ expression that declares the type
    std::string m_extraText;
    TypeKind m_Kind = NO_TYPE;
    bool m_fixedLength = true;
    std::uint64_t m_size = 0;
    std::uint32_t m_alignment = 0;
    enBuildPack m_packBuild = BUILD_PENDING;
    enBuildPack m_unPackBuild = BUILD_PENDING;
    enBuildPack m_nextBuild = BUILD_PENDING;
    enBuildPack m_lenPackedBuild = BUILD_PENDING;
    TypeSet m_dependencies;  // everything this type depends on, directly or not
    ExtensibilityKind m_extensibility;
    TypeSet m_sameTypes;  // structurally equal types sharing the generated helpers
    std::string m_moduleName;
    std::string m_shortName;

    // How deep types may refer to each other, counted along the types each one depends on.
    // Deeper chains are refused by set(), so that nothing recursing along the references of
    // completed types (set() itself, the queries, the generators) can exhaust the stack.
    static constexpr std::uint32_t MAX_NESTING = 256;

    // Every registered type by qualified name.
    static std::map<std::string, AnyType*> m_mapNameAnyTypePtr;
    // No static initialiser reads it, so its construction order does not matter.
    static TypeRep m_TypeRep;

protected:
    // Marks a set() as running for its whole extent; entering the set() of a type whose set()
    // is still running means the types refer to each other in a cycle, which is refused with
    // NLX::INVALID_BASE_TYPE2 instead of recursing without end. More than MAX_NESTING set()
    // calls running inside each other are refused with NLX::ZetException.
    class SetGuard {
    public:
        explicit SetGuard(AnyType& type);
        SetGuard(const SetGuard&) = delete;
        SetGuard& operator=(const SetGuard&) = delete;
        ~SetGuard();

        // Called once the dependency set is complete: the type's nesting becomes one more than
        // that of the deepest type it depends on (or of alsoReferenced); beyond MAX_NESTING it
        // throws NLX::ZetException. A chain completed piecemeal from its far end is caught here.
        void complete(const std::vector<AnyType*>& alsoReferenced = {});

    private:
        AnyType& m_type;
    };

    bool m_setInProgress = false;
    std::uint32_t m_nesting = 0;  // 0 for types that refer to nothing through set()

private:
    static std::uint32_t s_activeSets;  // set() calls running inside each other
};

#endif
