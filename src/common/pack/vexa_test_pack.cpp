#include "vexa_test_pack.h"

namespace VEXA_TEST_PACK {

template <>
void setDefault<char>(char& obj, test_pack sw) {
    obj = sw == one ? 'a' : 'b';
}

template <>
void setDefault<wchar_t>(wchar_t& obj, test_pack sw) {
    obj = sw == one ? L'a' : L'b';
}

template <>
void setDefault<bool>(bool& obj, test_pack sw) {
    obj = sw == one;
}

template <>
void setDefault<std::string>(std::string& obj, test_pack sw) {
    obj = sw == one ? "dromo_0123456789_0123456789" : "quintaver_0123456789_0123456789";
}

template <>
void setDefault<std::wstring>(std::wstring& obj, test_pack sw) {
    obj = sw == one ? L"dromo_0123456789_0123456789" : L"quintaver_0123456789_0123456789";
}

}  // namespace VEXA_TEST_PACK
