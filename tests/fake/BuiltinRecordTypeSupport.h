#pragma once

#include <cstring>
#include <vector>

#include "fake/FakeTypes.h"
#include "vexa/DataReaderImpl.h"
#include "vexa/dds/BuiltinTopicData.h"

namespace vexatest {

// Type support of a built-in topic whose sample in memory is the core's record R itself: the
// "packed" form is the record, copied member by member, and the key is its first 12 bytes.
// Stands in for the API's built-in factories until tests switch to those.
template <class R>
class BuiltinRecordTypeSupport : public CountingTypeSupport {
public:
    static constexpr unsigned KEY_SIZE = 12;

    vexa::dcps::api::DataWriterImpl* create_datawriter(void const*) const override {
        counted(TypeOp::CreateWriter);
        return nullptr;
    }
    vexa::dcps::api::DataReaderImpl* create_datareader(void const* reader) const override {
        counted(TypeOp::CreateReader);
        return new vexa::dcps::api::DataReaderImpl(
            static_cast<vexa::dcps::Reader*>(const_cast<void*>(reader)));
    }
    bool hasKey() const override { return true; }
    vexa::dds::KeyHash_t keyHash(void const* obj) const override {
        counted(TypeOp::KeyHash);
        vexa::dds::KeyHash_t h;
        std::memcpy(h.hash, &record(obj).key, KEY_SIZE);
        return h;
    }
    bool keyEqual(void const* obj1, void const* obj2) const override {
        counted(TypeOp::KeyEqual);
        return record(obj1).key == record(obj2).key;
    }
    bool keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool) const override {
        counted(TypeOp::KeyEqual);
        return buf != nullptr && lenbuf >= KEY_SIZE &&
               std::memcmp(&record(obj).key, buf, KEY_SIZE) == 0;
    }
    bool keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                  bool) const override {
        counted(TypeOp::KeyEqual);
        return key_packed != nullptr && buf != nullptr && lenkey == KEY_SIZE &&
               lenbuf >= KEY_SIZE && std::memcmp(key_packed, buf, KEY_SIZE) == 0;
    }
    unsigned lenPacked(void const*) const override {
        counted(TypeOp::LenPacked);
        return sizeof(R);
    }
    unsigned maxlenPacked() const override { return sizeof(R); }
    unsigned keylenPacked(void const*) const override { return KEY_SIZE; }
    unsigned pack(void*, unsigned, void const*) const override {
        counted(TypeOp::Pack);
        return 0;
    }
    unsigned packKey(void* buf, unsigned lenbuf, void const* obj) const override {
        counted(TypeOp::PackKey);
        if (buf == nullptr || lenbuf < KEY_SIZE) {
            return 0;
        }
        std::memcpy(buf, &record(obj).key, KEY_SIZE);
        return KEY_SIZE;
    }
    void* unpack(void const* buf, unsigned lenbuf) const override {
        R* r = new R;
        if (unpack(r, buf, lenbuf) == nullptr) {
            delete r;
            return nullptr;
        }
        return r;
    }
    void* unpack(void* obj, void const* buf, unsigned lenbuf) const override {
        counted(TypeOp::Unpack);
        if (failUnpack.load() || obj == nullptr || buf == nullptr || lenbuf != sizeof(R)) {
            return nullptr;
        }
        *static_cast<R*>(obj) = *static_cast<R const*>(buf);
        return obj;
    }
    void* unpackKey(void const* buf, unsigned lenbuf) const override {
        R* r = new R;
        if (unpackKey(r, buf, lenbuf) == nullptr) {
            delete r;
            return nullptr;
        }
        return r;
    }
    void* unpackKey(void* obj, void const* buf, unsigned lenbuf) const override {
        counted(TypeOp::UnpackKey);
        if (failUnpack.load() || obj == nullptr || buf == nullptr || lenbuf != KEY_SIZE) {
            return nullptr;
        }
        std::memcpy(&static_cast<R*>(obj)->key, buf, KEY_SIZE);
        return obj;
    }
    unsigned copyObject(void* to, void const* from) const override {
        counted(TypeOp::Copy);
        if (to != from) {
            *static_cast<R*>(to) = record(from);
        }
        return sizeof(R);
    }
    unsigned moveObject(void* to, void* from) const override { return copyObject(to, from); }
    void* allocate(unsigned amount, void*& block, size_t& stride) const override {
        counted(TypeOp::Allocate);
        block = nullptr;
        stride = sizeof(R);
        if (amount == 0 || failAllocate.load()) {
            return nullptr;
        }
        block = new R[amount];
        return block;
    }
    void deleteAllocatedObjects(void* block) const override {
        counted(TypeOp::DeleteAllocated);
        delete[] static_cast<R*>(block);
    }
    void deleteObject(void* obj) const override {
        counted(TypeOp::DeleteObject);
        delete static_cast<R*>(obj);
    }

private:
    static R const& record(void const* obj) { return *static_cast<R const*>(obj); }
};

}  // namespace vexatest
