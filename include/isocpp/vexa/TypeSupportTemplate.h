#ifndef VEXA_TYPESUPPORTTEMPLATE_H
#define VEXA_TYPESUPPORTTEMPLATE_H

// The typed type support that generated code names for each topic type T:
//   TypeSupportFactoryTemplate<T, W, R>: the core's TypeSupportFactoryImpl over the member
//     functions that tessgen writes into every topic class (pack, packKey, unpack, unpackKey,
//     lenPacked, maxlenPacked, keylenPacked, keyHash, keyEqual, hasKey); W and R are the
//     typed bridges it creates for the core's writers and readers.
//   TypeSupportTemplate<T, F>: registers T's one factory F with the core under T's name.
//   REGISTER_TOPIC_TRAITS(T): at global scope, names T's type support and type name for the
//     typed handles (generated model_DCPS.hpp writes it once per topic).

#include <cstddef>
#include <string>
#include <utility>

#include "vexa/DataReaderImpl.h"
#include "vexa/DataWriterImpl.h"
#include "vexa/TypeSupportFactoryImpl.h"
#include "vexa/TypeSupportImpl.h"

namespace dds {
namespace topic {

// Specialised by REGISTER_TOPIC_TRAITS.
template <typename T>
struct is_topic_type {
    enum { value = 0 };
};
template <typename T>
struct topic_type_support;
template <typename T>
struct topic_type_name;

}  // namespace topic
}  // namespace dds

namespace vexa {
namespace dcps {
namespace api {

// The qualified name of a topic type without its leading "::".
inline std::string topicTypeName(char const* spelled) {
    std::string name(spelled);
    size_t first = name.find_first_not_of(" :");
    return first == std::string::npos ? std::string() : name.substr(first);
}

template <class T, class TWriter, class TReader>
class TypeSupportFactoryTemplate : public TypeSupportFactoryImpl {
public:
    DataWriterImpl* create_datawriter(void const* writer) const override {
        return new TWriter(static_cast<Writer*>(const_cast<void*>(writer)));
    }
    DataReaderImpl* create_datareader(void const* reader) const override {
        return new TReader(static_cast<Reader*>(const_cast<void*>(reader)));
    }

    bool hasKey() const override { return T::hasKey(); }
    vexa::dds::KeyHash_t keyHash(void const* obj) const override { return of(obj).keyHash(); }
    bool keyEqual(void const* obj1, void const* obj2) const override {
        return of(obj1).keyEqual(of(obj2));
    }
    bool keyEqual(void const* obj, void const* buf, unsigned lenbuf, bool key_only) const override {
        return of(obj).keyEqual(buf, lenbuf, key_only);
    }
    bool keyEqual(void const* key_packed, unsigned lenkey, void const* buf, unsigned lenbuf,
                  bool key_only) const override {
        return T::keyEqual(key_packed, lenkey, buf, lenbuf, key_only);
    }

    unsigned lenPacked(void const* obj) const override { return of(obj).lenPacked(); }
    unsigned maxlenPacked() const override { return T::maxlenPacked(); }
    unsigned keylenPacked(void const* obj) const override { return of(obj).keylenPacked(); }
    unsigned pack(void* buf, unsigned lenbuf, void const* obj) const override {
        return of(obj).pack(buf, lenbuf);
    }
    unsigned packKey(void* buf, unsigned lenbuf, void const* obj) const override {
        return of(obj).packKey(buf, lenbuf);
    }

    void* unpack(void const* buf, unsigned lenbuf) const override {
        T* obj = new T();
        if (!obj->unpack(buf, lenbuf)) {
            delete obj;
            return nullptr;
        }
        return obj;
    }
    void* unpack(void* obj, void const* buf, unsigned lenbuf) const override {
        return static_cast<T*>(obj)->unpack(buf, lenbuf) ? obj : nullptr;
    }
    void* unpackKey(void const* buf, unsigned lenbuf) const override {
        T* obj = new T();
        if (!obj->unpackKey(buf, lenbuf)) {
            delete obj;
            return nullptr;
        }
        return obj;
    }
    void* unpackKey(void* obj, void const* buf, unsigned lenbuf) const override {
        return static_cast<T*>(obj)->unpackKey(buf, lenbuf) ? obj : nullptr;
    }

    unsigned copyObject(void* to, void const* from) const override {
        *static_cast<T*>(to) = of(from);
        return sizeof(T);
    }
    unsigned moveObject(void* to, void* from) const override {
        *static_cast<T*>(to) = std::move(*static_cast<T*>(from));
        return sizeof(T);
    }

    void* allocate(unsigned amount, void*& block, size_t& stride) const override {
        stride = sizeof(T);
        if (amount == 0) {
            block = nullptr;
            return nullptr;
        }
        T* objects = new T[amount];
        block = objects;
        return objects;
    }
    void deleteAllocatedObjects(void* block) const override { delete[] static_cast<T*>(block); }
    void deleteObject(void* obj) const override { delete static_cast<T*>(obj); }

private:
    static T const& of(void const* obj) { return *static_cast<T const*>(obj); }
};

template <class T, class TFactory>
class TypeSupportTemplate : public TypeSupportImpl {
public:
    // Under the name that REGISTER_TOPIC_TRAITS gave T, or under `typeName`.
    TypeSupportTemplate()
        : TypeSupportTemplate(::dds::topic::topic_type_name<T>::value().c_str()) {}
    explicit TypeSupportTemplate(char const* typeName) : TypeSupportImpl(typeName, factory()) {}

private:
    // One factory per type for the process: the core's registry owns it once registered.
    static TFactory* factory() {
        static TFactory* const f = new TFactory();
        return f;
    }
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#define REGISTER_TOPIC_TRAITS(TOPIC_TYPE)                                                    \
    namespace dds {                                                                          \
    namespace topic {                                                                        \
    template <>                                                                              \
    struct is_topic_type<TOPIC_TYPE> {                                                       \
        enum { value = 1 };                                                                  \
    };                                                                                       \
    template <>                                                                              \
    struct topic_type_support<TOPIC_TYPE> {                                                  \
        using type = TOPIC_TYPE##TypeSupport;                                                \
    };                                                                                       \
    template <>                                                                              \
    struct topic_type_name<TOPIC_TYPE> {                                                     \
        static std::string value() { return ::vexa::dcps::api::topicTypeName(#TOPIC_TYPE); } \
    };                                                                                       \
    }                                                                                        \
    }

#endif
