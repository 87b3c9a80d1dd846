// Test stand-in for the API's exception header, which generated type headers include.
#ifndef VEXA_TEST_STUB_EXCEPTION_HPP
#define VEXA_TEST_STUB_EXCEPTION_HPP

#include <stdexcept>
#include <string>

namespace dds {
namespace core {

class InvalidArgumentError : public std::invalid_argument {
public:
    explicit InvalidArgumentError(const std::string& text) : std::invalid_argument(text) {}
};

}  // namespace core
}  // namespace dds

#endif
