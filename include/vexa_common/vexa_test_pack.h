// Fixed default values that generated test programs fill samples with.
#pragma once

#include <string>

namespace VEXA_TEST_PACK {

// Which of the two defaults to use.
enum test_pack { one = 0, two = 1 };

// Generated test code adds specialisations for the model's types.
template <class T>
void setDefault(T& obj, test_pack sw);

template <>
void setDefault<char>(char& obj, test_pack sw);
template <>
void setDefault<wchar_t>(wchar_t& obj, test_pack sw);
template <>
void setDefault<bool>(bool& obj, test_pack sw);
template <>
void setDefault<std::string>(std::string& obj, test_pack sw);
template <>
void setDefault<std::wstring>(std::wstring& obj, test_pack sw);

}  // namespace VEXA_TEST_PACK
