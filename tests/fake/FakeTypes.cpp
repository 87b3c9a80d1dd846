// Written the way generated type support is: CDR behind the 4-byte header, plain functions for
// CDR_LE data and the byte-swapping twins for any other identifier.
#include "fake/FakeTypes.h"

#include <cstring>
#include <new>

#include "vexa/DataReaderTemplate.h"
#include "vexa/DataWriterTemplate.h"
#include "vexa_pack.h"

namespace vexatest {

using vexa::dcps::api::DataReaderImpl;
using vexa::dcps::api::DataWriterImpl;
namespace P = VEXA_PACK;

namespace {

constexpr unsigned HEADER = 4;

unsigned char* data(void* buf) {
    return static_cast<unsigned char*>(buf) + HEADER;
}
unsigned char const* data(void const* buf) {
    return static_cast<unsigned char const*>(buf) + HEADER;
}

// The header of packed data: false when it is too short or names no encoding we read.
bool readHeader(void const* buf, unsigned lenbuf, bool& swapped) {
    if (buf == nullptr || lenbuf < HEADER) {
        return false;
    }
    P::CDR_HEADER header;
    P::unpack(header, buf, lenbuf);
    if (header.Encapsulation != P::CDR_LE && header.Encapsulation != P::CDR_BE) {
        return false;
    }
    swapped = header.Encapsulation != P::CDR_LE;
    return true;
}

template <class T>
unsigned readInt(T& out, void const* buf, unsigned pos, unsigned len, bool swapped) {
    return swapped ? P::unpackPrimitiveCH(out, buf, pos, len)
                   : P::unpackPrimitive(out, buf, pos, len);
}

// The key of a packed keyed sample or key (both begin with it).
bool readKey(void const* buf, unsigned lenbuf, int32_t& key) {
    bool swapped = false;
    if (!readHeader(buf, lenbuf, swapped)) {
        return false;
    }
    return readInt(key, data(buf), 0, lenbuf - HEADER, swapped) != 0;
}

}  // namespace

// ---- keyed ----

// Typed bridges, as generated code makes them: the typed handles know a reader or writer of
// their type by them.
DataWriterImpl* KeyedTypeSupport::create_datawriter(void const* writer) const {
    counted(TypeOp::CreateWriter);
    return new vexa::dcps::api::DataWriterTemplate<KeyedSample>(
        static_cast<vexa::dcps::Writer*>(const_cast<void*>(writer)));
}

DataReaderImpl* KeyedTypeSupport::create_datareader(void const* reader) const {
    counted(TypeOp::CreateReader);
    return new vexa::dcps::api::DataReaderTemplate<KeyedSample>(
        static_cast<vexa::dcps::Reader*>(const_cast<void*>(reader)));
}

vexa::dds::KeyHash_t KeyedTypeSupport::keyHash(void const* obj) const {
    counted(TypeOp::KeyHash);
    // The key packs into 4 big-endian bytes: the hash is those bytes, zero-padded.
    vexa::dds::KeyHash_t h;
    P::packPrimitiveCH(static_cast<KeyedSample const*>(obj)->key, h.hash, 0, sizeof h.hash);
    return h;
}

bool KeyedTypeSupport::keyEqual(void const* obj1, void const* obj2) const {
    counted(TypeOp::KeyEqual);
    return static_cast<KeyedSample const*>(obj1)->key == static_cast<KeyedSample const*>(obj2)->key;
}

bool KeyedTypeSupport::keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool) const {
    counted(TypeOp::KeyEqual);
    int32_t key = 0;
    return readKey(buf, lenbuf, key) && key == static_cast<KeyedSample const*>(obj)->key;
}

bool KeyedTypeSupport::keyEqual(void const* key_packed, unsigned lenkey, void const* buf,
                                unsigned lenbuf, bool) const {
    counted(TypeOp::KeyEqual);
    int32_t a = 0;
    int32_t b = 0;
    return readKey(key_packed, lenkey, a) && readKey(buf, lenbuf, b) && a == b;
}

unsigned KeyedTypeSupport::lenPacked(void const*) const {
    counted(TypeOp::LenPacked);
    return PACKED_SIZE;
}

unsigned KeyedTypeSupport::keylenPacked(void const*) const {
    return KEY_PACKED_SIZE;
}

unsigned KeyedTypeSupport::pack(void* buf, unsigned lenbuf, void const* obj) const {
    counted(TypeOp::Pack);
    auto const* s = static_cast<KeyedSample const*>(obj);
    if (buf == nullptr || P::pack(P::ex_CDR_HEADER_LE, buf, lenbuf) == 0) {
        return 0;
    }
    unsigned const len = lenbuf - HEADER;
    unsigned pos = P::packPrimitive(s->key, data(buf), 0, len);
    if (pos == 0 || (pos = P::packPrimitive(s->value, data(buf), pos, len)) == 0) {
        return 0;
    }
    return pos + HEADER;
}

unsigned KeyedTypeSupport::packKey(void* buf, unsigned lenbuf, void const* obj) const {
    counted(TypeOp::PackKey);
    if (buf == nullptr || P::pack(P::ex_CDR_HEADER_LE, buf, lenbuf) == 0) {
        return 0;
    }
    unsigned const pos =
        P::packPrimitive(static_cast<KeyedSample const*>(obj)->key, data(buf), 0, lenbuf - HEADER);
    return pos == 0 ? 0 : pos + HEADER;
}

void* KeyedTypeSupport::unpack(void const* buf, unsigned lenbuf) const {
    auto* s = new KeyedSample;
    if (unpack(s, buf, lenbuf) == nullptr) {
        delete s;
        return nullptr;
    }
    return s;
}

void* KeyedTypeSupport::unpack(void* obj, void const* buf, unsigned lenbuf) const {
    counted(TypeOp::Unpack);
    bool swapped = false;
    if (failUnpack.load() || obj == nullptr || !readHeader(buf, lenbuf, swapped)) {
        return nullptr;
    }
    KeyedSample s;
    unsigned const len = lenbuf - HEADER;
    unsigned pos = readInt(s.key, data(buf), 0, len, swapped);
    if (pos == 0 || readInt(s.value, data(buf), pos, len, swapped) == 0) {
        return nullptr;
    }
    *static_cast<KeyedSample*>(obj) = s;
    return obj;
}

void* KeyedTypeSupport::unpackKey(void const* buf, unsigned lenbuf) const {
    auto* s = new KeyedSample;
    if (unpackKey(s, buf, lenbuf) == nullptr) {
        delete s;
        return nullptr;
    }
    return s;
}

void* KeyedTypeSupport::unpackKey(void* obj, void const* buf, unsigned lenbuf) const {
    counted(TypeOp::UnpackKey);
    int32_t key = 0;
    if (failUnpack.load() || obj == nullptr || !readKey(buf, lenbuf, key)) {
        return nullptr;
    }
    static_cast<KeyedSample*>(obj)->key = key;
    return obj;
}

unsigned KeyedTypeSupport::copyObject(void* to, void const* from) const {
    counted(TypeOp::Copy);
    if (to != from) {
        *static_cast<KeyedSample*>(to) = *static_cast<KeyedSample const*>(from);
    }
    return sizeof(KeyedSample);
}

unsigned KeyedTypeSupport::moveObject(void* to, void* from) const {
    return copyObject(to, from);
}

void* KeyedTypeSupport::allocate(unsigned amount, void*& block, size_t& stride) const {
    counted(TypeOp::Allocate);
    block = nullptr;
    stride = sizeof(KeyedSample);
    if (amount == 0 || failAllocate.load()) {
        return nullptr;
    }
    block = new KeyedSample[amount];
    return block;
}

void KeyedTypeSupport::deleteAllocatedObjects(void* block) const {
    counted(TypeOp::DeleteAllocated);
    delete[] static_cast<KeyedSample*>(block);
}

void KeyedTypeSupport::deleteObject(void* obj) const {
    counted(TypeOp::DeleteObject);
    delete static_cast<KeyedSample*>(obj);
}

// ---- keyless ----

DataWriterImpl* KeylessTypeSupport::create_datawriter(void const* writer) const {
    counted(TypeOp::CreateWriter);
    return new vexa::dcps::api::DataWriterTemplate<KeylessSample>(
        static_cast<vexa::dcps::Writer*>(const_cast<void*>(writer)));
}

DataReaderImpl* KeylessTypeSupport::create_datareader(void const* reader) const {
    counted(TypeOp::CreateReader);
    return new vexa::dcps::api::DataReaderTemplate<KeylessSample>(
        static_cast<vexa::dcps::Reader*>(const_cast<void*>(reader)));
}

vexa::dds::KeyHash_t KeylessTypeSupport::keyHash(void const*) const {
    counted(TypeOp::KeyHash);
    return {};
}

// A keyless type has one instance: every key is equal.
bool KeylessTypeSupport::keyEqual(void const*, void const*) const {
    counted(TypeOp::KeyEqual);
    return true;
}

bool KeylessTypeSupport::keyEqual(void const*, void const*, unsigned, bool) const {
    counted(TypeOp::KeyEqual);
    return true;
}

bool KeylessTypeSupport::keyEqual(void const*, unsigned, void const*, unsigned, bool) const {
    counted(TypeOp::KeyEqual);
    return true;
}

unsigned KeylessTypeSupport::lenPacked(void const* obj) const {
    counted(TypeOp::LenPacked);
    auto const* s = static_cast<KeylessSample const*>(obj);
    unsigned pos = P::lenPackedPrim(0, sizeof s->value);
    pos = P::lenPacked(s->text, pos);
    return pos + HEADER;
}

unsigned KeylessTypeSupport::keylenPacked(void const*) const {
    return 0;
}

unsigned KeylessTypeSupport::pack(void* buf, unsigned lenbuf, void const* obj) const {
    counted(TypeOp::Pack);
    auto const* s = static_cast<KeylessSample const*>(obj);
    if (buf == nullptr || P::pack(P::ex_CDR_HEADER_LE, buf, lenbuf) == 0) {
        return 0;
    }
    unsigned const len = lenbuf - HEADER;
    unsigned pos = P::packPrimitive(s->value, data(buf), 0, len);
    if (pos == 0 || (pos = P::pack(s->text, data(buf), pos, len)) == 0) {
        return 0;
    }
    return pos + HEADER;
}

unsigned KeylessTypeSupport::packKey(void*, unsigned, void const*) const {
    counted(TypeOp::PackKey);
    return 0;
}

void* KeylessTypeSupport::unpack(void const* buf, unsigned lenbuf) const {
    auto* s = new KeylessSample;
    if (unpack(s, buf, lenbuf) == nullptr) {
        delete s;
        return nullptr;
    }
    return s;
}

void* KeylessTypeSupport::unpack(void* obj, void const* buf, unsigned lenbuf) const {
    counted(TypeOp::Unpack);
    bool swapped = false;
    if (failUnpack.load() || obj == nullptr || !readHeader(buf, lenbuf, swapped)) {
        return nullptr;
    }
    KeylessSample s;
    unsigned const len = lenbuf - HEADER;
    unsigned pos = readInt(s.value, data(buf), 0, len, swapped);
    if (pos == 0) {
        return nullptr;
    }
    pos =
        swapped ? P::unpackCH(s.text, data(buf), pos, len) : P::unpack(s.text, data(buf), pos, len);
    if (pos == 0) {
        return nullptr;
    }
    *static_cast<KeylessSample*>(obj) = std::move(s);
    return obj;
}

void* KeylessTypeSupport::unpackKey(void const* buf, unsigned lenbuf) const {
    auto* s = new KeylessSample;
    if (unpackKey(s, buf, lenbuf) == nullptr) {
        delete s;
        return nullptr;
    }
    return s;
}

void* KeylessTypeSupport::unpackKey(void* obj, void const* buf, unsigned lenbuf) const {
    counted(TypeOp::UnpackKey);
    bool swapped = false;
    if (failUnpack.load() || obj == nullptr || !readHeader(buf, lenbuf, swapped)) {
        return nullptr;
    }
    return obj;  // nothing to set
}

unsigned KeylessTypeSupport::copyObject(void* to, void const* from) const {
    counted(TypeOp::Copy);
    if (to != from) {
        *static_cast<KeylessSample*>(to) = *static_cast<KeylessSample const*>(from);
    }
    return sizeof(KeylessSample);
}

unsigned KeylessTypeSupport::moveObject(void* to, void* from) const {
    return copyObject(to, from);
}

void* KeylessTypeSupport::allocate(unsigned amount, void*& block, size_t& stride) const {
    counted(TypeOp::Allocate);
    block = nullptr;
    stride = sizeof(KeylessSample);
    if (amount == 0 || failAllocate.load()) {
        return nullptr;
    }
    block = new KeylessSample[amount];
    return block;
}

void KeylessTypeSupport::deleteAllocatedObjects(void* block) const {
    counted(TypeOp::DeleteAllocated);
    delete[] static_cast<KeylessSample*>(block);
}

void KeylessTypeSupport::deleteObject(void* obj) const {
    counted(TypeOp::DeleteObject);
    delete static_cast<KeylessSample*>(obj);
}

}  // namespace vexatest
