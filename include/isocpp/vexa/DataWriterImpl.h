#ifndef VEXA_DATAWRITERIMPL_H
#define VEXA_DATAWRITERIMPL_H

// The untyped bridge from a typed writer of generated code to the core's writer. The core
// creates it through the type support's create_datawriter and destroys it with its writer.
// Operations follow in their fixed slot order after the destructor.

namespace vexa {
namespace dcps {

class Writer;

namespace api {

class DataWriterImpl {
public:
    explicit DataWriterImpl(Writer* writer) : writer_(writer) {}
    DataWriterImpl(DataWriterImpl const&) = delete;
    DataWriterImpl& operator=(DataWriterImpl const&) = delete;
    virtual ~DataWriterImpl() = default;

    // The core writer this bridge calls.
    Writer* getEntity() const { return writer_; }

protected:
    Writer* writer_;
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
