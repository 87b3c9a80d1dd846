#include "ZetException.h"

#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>
#include <string>

namespace {

const std::string kZhe = "\xD0\x96";  // U+0416 in UTF-8

TEST(ZetException, EveryConstructorKeepsTheTextInUtf8) {
    const std::string russian = "Ошибка: " + kZhe;
    EXPECT_EQ(std::string(NLX::ZetException(std::string(russian)).what()), russian);
    EXPECT_EQ(std::string(NLX::ZetException(L"Ошибка: Ж").what()), russian);
    EXPECT_EQ(std::string(NLX::ZetException(std::wstring(L"Ошибка: Ж")).what()), russian);
    EXPECT_EQ(std::string(NLX::ZetException(std::runtime_error(russian)).what()), russian);
    const wchar_t* none = nullptr;
    EXPECT_EQ(std::string(NLX::ZetException(none).what()), "");
}

TEST(ZetException, PlusAppendsTheOtherText) {
    NLX::ZetException first(std::string("A: "));
    const NLX::ZetException second(std::string("B"));
    NLX::ZetException& result = first + second;
    EXPECT_EQ(&result, &first);
    EXPECT_EQ(std::string(first.what()), "A: B");
    EXPECT_EQ(std::string(second.what()), "B");
}

TEST(ZetException, WhatWstrWidensByTheUtf8Locale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(NLX::ZetException(std::string("Ж-1")).whatWstr(), L"Ж-1");
    std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
