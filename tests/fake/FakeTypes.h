#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "vexa/TypeSupportFactoryImpl.h"

namespace vexatest {

// The two sample types of the core's tests, as a model would declare them.
struct KeyedSample {
    int32_t key = 0;  // the key member
    int32_t value = 0;
};

struct KeylessSample {
    int32_t value = 0;
    std::string text;
};

// Operations of a type support that tests count.
enum class TypeOp : unsigned {
    CreateWriter,
    CreateReader,
    KeyHash,
    KeyEqual,
    LenPacked,
    Pack,
    PackKey,
    Unpack,
    UnpackKey,
    Copy,
    Allocate,
    DeleteAllocated,
    DeleteObject,
    Count_
};

// What every fake type support has beside the contract: knobs that make unpack or allocate
// fail, and a counter per operation.
class CountingTypeSupport : public vexa::dcps::api::TypeSupportFactoryImpl {
public:
    std::atomic<bool> failUnpack{false};
    std::atomic<bool> failAllocate{false};

    unsigned count(TypeOp op) const { return counts_[static_cast<unsigned>(op)].load(); }
    void resetCounts() {
        for (auto& c : counts_) {
            c = 0;
        }
    }

protected:
    void counted(TypeOp op) const { ++counts_[static_cast<unsigned>(op)]; }

private:
    mutable std::atomic<unsigned> counts_[static_cast<unsigned>(TypeOp::Count_)] = {};
};

// {int32 key; int32 value}: keyed, bounded (12 packed bytes with the header).
class KeyedTypeSupport : public CountingTypeSupport {
public:
    static constexpr unsigned PACKED_SIZE = 12;
    static constexpr unsigned KEY_PACKED_SIZE = 8;

    vexa::dcps::api::DataWriterImpl* create_datawriter(void const* writer) const override;
    vexa::dcps::api::DataReaderImpl* create_datareader(void const* reader) const override;
    bool hasKey() const override { return true; }
    vexa::dds::KeyHash_t keyHash(void const* obj) const override;
    bool keyEqual(void const* obj1, void const* obj2) const override;
    bool keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool key_only) const override;
    bool keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                  bool key_only) const override;
    unsigned lenPacked(void const* obj) const override;
    unsigned maxlenPacked() const override { return PACKED_SIZE; }
    unsigned keylenPacked(void const* obj) const override;
    unsigned pack(void* buf, unsigned lenbuf, void const* obj) const override;
    unsigned packKey(void* buf, unsigned lenbuf, void const* obj) const override;
    void* unpack(void const* buf, unsigned lenbuf) const override;
    void* unpack(void* obj, void const* buf, unsigned lenbuf) const override;
    void* unpackKey(void const* buf, unsigned lenbuf) const override;
    void* unpackKey(void* obj, void const* buf, unsigned lenbuf) const override;
    unsigned copyObject(void* to, void const* from) const override;
    unsigned moveObject(void* to, void* from) const override;
    void* allocate(unsigned amount, void*& block, size_t& stride) const override;
    void deleteAllocatedObjects(void* block) const override;
    void deleteObject(void* obj) const override;
};

// {int32 value; string text}: keyless, unbounded.
class KeylessTypeSupport : public CountingTypeSupport {
public:
    vexa::dcps::api::DataWriterImpl* create_datawriter(void const* writer) const override;
    vexa::dcps::api::DataReaderImpl* create_datareader(void const* reader) const override;
    bool hasKey() const override { return false; }
    vexa::dds::KeyHash_t keyHash(void const* obj) const override;
    bool keyEqual(void const* obj1, void const* obj2) const override;
    bool keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool key_only) const override;
    bool keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                  bool key_only) const override;
    unsigned lenPacked(void const* obj) const override;
    unsigned maxlenPacked() const override { return 0; }
    unsigned keylenPacked(void const* obj) const override;
    unsigned pack(void* buf, unsigned lenbuf, void const* obj) const override;
    unsigned packKey(void* buf, unsigned lenbuf, void const* obj) const override;
    void* unpack(void const* buf, unsigned lenbuf) const override;
    void* unpack(void* obj, void const* buf, unsigned lenbuf) const override;
    void* unpackKey(void const* buf, unsigned lenbuf) const override;
    void* unpackKey(void* obj, void const* buf, unsigned lenbuf) const override;
    unsigned copyObject(void* to, void const* from) const override;
    unsigned moveObject(void* to, void* from) const override;
    void* allocate(unsigned amount, void*& block, size_t& stride) const override;
    void deleteAllocatedObjects(void* block) const override;
    void deleteObject(void* obj) const override;
};

}  // namespace vexatest
