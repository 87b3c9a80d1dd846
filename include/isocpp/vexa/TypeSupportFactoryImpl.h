#ifndef VEXA_TYPESUPPORTFACTORYIMPL_H
#define VEXA_TYPESUPPORTFACTORYIMPL_H

// The one contract between the DCPS core and the code that knows a topic type: generated type
// support derives from it, and so do the built-in topics' factories. The core never sees a
// sample type; it creates the typed bridges, hashes and compares keys, measures, packs and
// unpacks, and allocates, copies and deletes samples only through these operations.
//
// Generated code and the library are compiled apart, so the order of the virtual operations is
// part of the contract: new operations go at the end, never in between.
//
// Buffers are raw bytes with their length, as the CDR runtime takes them. A length that does
// not fit the operation is refused (0, false or null) and nothing is read or written.

#include <cstddef>

#include "vexa/dds/BasicTypes.h"

namespace vexa {
namespace dcps {

// The core's registry entry for one type name; it owns the factory that points back to it.
struct TypeSupportCB;

namespace api {

class DataWriterImpl;
class DataReaderImpl;

class TypeSupportFactoryImpl {
public:
    TypeSupportFactoryImpl() = default;
    TypeSupportFactoryImpl(TypeSupportFactoryImpl const&) = delete;
    TypeSupportFactoryImpl& operator=(TypeSupportFactoryImpl const&) = delete;
    virtual ~TypeSupportFactoryImpl() = default;

    // The typed bridge for a core writer or reader (passed untyped); null when the type has
    // none. The caller owns the result.
    virtual DataWriterImpl* create_datawriter(void const* writer) const = 0;
    virtual DataReaderImpl* create_datareader(void const* reader) const = 0;

    virtual bool hasKey() const = 0;
    virtual vexa::dds::KeyHash_t keyHash(void const* obj) const = 0;
    virtual bool keyEqual(void const* obj1, void const* obj2) const = 0;
    // `key_only`: buf holds only a packed key; otherwise a whole packed sample.
    virtual bool keyEqual(void const* obj, void const* buf, unsigned lenbuf,
                          bool key_only) const = 0;
    virtual bool keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                          bool key_only) const = 0;

    virtual unsigned lenPacked(void const* obj) const = 0;
    // 0: no bound.
    virtual unsigned maxlenPacked() const = 0;
    virtual unsigned keylenPacked(void const* obj) const = 0;
    // Bytes written; 0 on failure.
    virtual unsigned pack(void* buf, unsigned lenbuf, void const* obj) const = 0;
    virtual unsigned packKey(void* buf, unsigned lenbuf, void const* obj) const = 0;

    // A new sample (release it with deleteObject), or obj filled in; null on failure.
    virtual void* unpack(void const* buf, unsigned lenbuf) const = 0;
    virtual void* unpack(void* obj, void const* buf, unsigned lenbuf) const = 0;
    // The same with only the key members set.
    virtual void* unpackKey(void const* buf, unsigned lenbuf) const = 0;
    virtual void* unpackKey(void* obj, void const* buf, unsigned lenbuf) const = 0;

    // Deep copies; both return the size of one object.
    virtual unsigned copyObject(void* to, void const* from) const = 0;
    virtual unsigned moveObject(void* to, void* from) const = 0;

    // `amount` default-constructed samples in one block: returns the first, sets `block` to
    // what deleteAllocatedObjects takes and `stride` to the distance between two samples.
    // Null (and block null) when amount is 0.
    virtual void* allocate(unsigned amount, void*& block, size_t& stride) const = 0;
    virtual void deleteAllocatedObjects(void* block) const = 0;
    // Releases a sample made by unpack or unpackKey; null is ignored.
    virtual void deleteObject(void* obj) const = 0;

    // Set by the core's registry when it takes the factory; null until then.
    TypeSupportCB* typeSupportCB() const { return typeSupportCB_; }
    void setTypeSupportCB(TypeSupportCB* cb) { typeSupportCB_ = cb; }

private:
    TypeSupportCB* typeSupportCB_ = nullptr;
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
