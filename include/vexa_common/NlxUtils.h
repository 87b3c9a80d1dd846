#ifndef VEXA_NLX_UTILS_H
#define VEXA_NLX_UTILS_H

// Small stateless helpers shared by the precompiler and the common code: time texts,
// text conversion, hexadecimal dumps, number formatting, text replacement, column alignment
// of generated code and directory creation.

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace NLX {

// One nanosleep of the given length; a signal ends it early. Returns the nanosleep result.
int zetSleep(unsigned int milliseconds);

// Seconds since 1970-01-01 UTC.
std::time_t getCurrentTime();

// Local time "Www Mmm dd hh:mm:ss.mmm yyyy\n" (milliseconds always three digits).
void getCurrentTimeStringLocal(std::string& out);

// Local time "Www Mmm dd hh:mm:ss.m yyyy\n" (milliseconds without leading zeros) into a
// buffer of at least 40 bytes; returns the number of characters written.
int getCurrentTimeString(char* out);

// UTC time "Www Mmm dd hh:mm:ss.mmm yyyy", without a final line feed.
std::wstring getCurrentTimeString();

// Local time "Www Mmm dd hh:mm:ss.mmm yyyy", without a final line feed.
std::wstring getCurrentTimeStringLocal();

// The ctime text of a time (local), without its final line feed.
std::wstring timeToWstring(long seconds);

// "Hex(" + the bytes from the last to the first as two lower-case digits separated by blanks
// + ") size=" + the size.
std::string myHEX(const void* address, std::size_t size);

// Multibyte text of the current locale to wide characters. An invalid or cut sequence ends
// the conversion: what was converted before it is returned.
std::wstring widen(const std::string& text);
std::wstring widen(const char* text);

std::wstring wideLiteralToWstring(const wchar_t* text);

// Each element is a UTF-16 code unit (surrogate pairs are combined) or a code point.
std::string UTF16toUTF8(const std::wstring& text);

// Reverses n bytes in place.
void changeENDIAN(void* address, std::size_t n);

bool isBIG_ENDIAN();

// 2 x n blanks.
std::string iS(unsigned int n);
std::wstring iW(unsigned int n);

// Digits of value in radix 2..16 ("" for another radix); a minus sign only in radix 10.
std::string itoaZET(int value, int radix);

// In every text replaces every occurrence of what by with, left to right, resuming behind the
// inserted text. An empty what changes nothing.
void replace(std::vector<std::string>& texts, const std::string& what, const std::string& with);

// Length of the longest text, 0 for none.
std::size_t maxLenthStrInCont(const std::vector<std::string>& texts);

// Pads every text with blanks on the right to the longest one; returns the number of texts.
std::size_t cppBlockElign(std::vector<std::string>& texts);

std::string toUpperCase(const std::string& text);

// Member path of generated code: "a.b" -> "m_a.m_b".
std::string replaceLiteral(const std::string& path);

// Creates every level of the path with mode 0775; existing levels are accepted. Each level it
// made is appended to `created` (when given, parents first), also when a deeper level then
// fails, so a caller can take back what a refused run left. Throws NLX::ZetException naming
// the system error and the level that failed.
void createDir(const std::string& path, std::vector<std::string>* created = nullptr);

}  // namespace NLX

#endif
