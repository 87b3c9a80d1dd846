#ifndef VEXA_DATAREADERIMPL_H
#define VEXA_DATAREADERIMPL_H

// The untyped bridge from a typed reader of generated code to the core's reader. The core
// creates it through the type support's create_datareader and destroys it with its reader.
// Operations follow in their fixed slot order after the destructor.

namespace vexa {
namespace dcps {

class Reader;

namespace api {

class DataReaderImpl {
public:
    explicit DataReaderImpl(Reader* reader) : reader_(reader) {}
    DataReaderImpl(DataReaderImpl const&) = delete;
    DataReaderImpl& operator=(DataReaderImpl const&) = delete;
    virtual ~DataReaderImpl() = default;

    // The core reader this bridge calls.
    Reader* getEntity() const { return reader_; }

protected:
    Reader* reader_;
};

}  // namespace api
}  // namespace dcps
}  // namespace vexa

#endif
