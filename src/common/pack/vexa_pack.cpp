#include "vexa_pack.h"

#include <algorithm>

namespace VEXA_PACK {

using detail::alignUp;
using detail::bytes;
using detail::loadCount;
using detail::store;

namespace {

// How strictly a packed string count is checked.
enum class Chars {
    Any,     // narrow or wide: only the bounds
    Narrow,  // count >= 1 (it includes the terminating zero)
    Wide,    // count a multiple of 4
};

bool countValid(uint32_t n, Chars chars) {
    switch (chars) {
        case Chars::Narrow:
            return n != 0;
        case Chars::Wide:
            return n % 4 == 0;
        case Chars::Any:
            break;
    }
    return true;
}

// Start of the characters and the count of a packed string at pos, or false when the count
// word or the characters pass len or the count is malformed.
template <bool SW>
bool locateString(const void* buf, unsigned pos, unsigned len, Chars chars, uint64_t& start,
                  uint32_t& n) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > len) {
        return false;
    }
    n = loadCount<SW>(bytes(buf) + a);
    start = a + 4;
    return countValid(n, chars) && start + n <= len;
}

template <bool SW>
unsigned packString(const std::string& v, void* buf, unsigned pos, unsigned len) {
    const uint64_t a = alignUp(pos, 4);
    const uint64_t n = uint64_t(v.size()) + 1;
    // Nothing is written unless the whole string fits.
    if (v.size() >= UINT32_MAX || a + 4 + n > len) {
        return 0;
    }
    detail::zeroGap<4>(buf, pos);
    store<SW>(bytes(buf) + a, static_cast<uint32_t>(n));
    unsigned char* p = bytes(buf) + a + 4;
    std::memcpy(p, v.data(), v.size());
    p[v.size()] = 0;
    return static_cast<unsigned>(a + 4 + n);
}

template <bool SW>
unsigned packWide(const std::wstring& v, void* buf, unsigned pos, unsigned len) {
    const uint64_t a = alignUp(pos, 4);
    const uint64_t n = uint64_t(v.size()) * 4;
    if (n > UINT32_MAX || a + 4 + n > len) {
        return 0;
    }
    detail::zeroGap<4>(buf, pos);
    store<SW>(bytes(buf) + a, static_cast<uint32_t>(n));
    unsigned char* p = bytes(buf) + a + 4;
    if (!SW) {
        std::memcpy(p, v.data(), n);
    } else {
        for (wchar_t c : v) {
            store<true>(p, c);
            p += 4;
        }
    }
    return static_cast<unsigned>(a + 4 + n);
}

template <bool SW>
unsigned unpackString(std::string& out, const void* buf, unsigned pos, unsigned len) {
    uint64_t start;
    uint32_t n;
    if (!locateString<SW>(buf, pos, len, Chars::Narrow, start, n)) {
        return 0;
    }
    // The terminating zero is not part of the text.
    out.assign(reinterpret_cast<const char*>(bytes(buf) + start), n - 1);
    return static_cast<unsigned>(start + n);
}

template <bool SW>
unsigned unpackWide(std::wstring& out, const void* buf, unsigned pos, unsigned len) {
    uint64_t start;
    uint32_t n;
    if (!locateString<SW>(buf, pos, len, Chars::Wide, start, n)) {
        return 0;
    }
    out.resize(n / 4);
    const unsigned char* p = bytes(buf) + start;
    if (!SW) {
        std::memcpy(&out[0], p, n);
    } else {
        for (wchar_t& c : out) {
            detail::load<true>(p, c);
            p += 4;
        }
    }
    return static_cast<unsigned>(start + n);
}

template <bool SW>
unsigned skipString(const void* buf, unsigned pos, unsigned len, Chars chars) {
    uint64_t start;
    uint32_t n;
    if (!locateString<SW>(buf, pos, len, chars, start, n)) {
        return 0;
    }
    return static_cast<unsigned>(start + n);
}

template <bool SW>
unsigned skipStrings(const void* buf, unsigned pos, unsigned len, Chars chars) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > len) {
        return 0;
    }
    const uint32_t n = loadCount<SW>(bytes(buf) + a);
    pos = static_cast<unsigned>(a + 4);
    for (uint32_t i = 0; i < n && pos != 0; ++i) {
        pos = skipString<SW>(buf, pos, len, chars);
    }
    return pos;
}

template <bool SW>
bool compareString(const std::string& v, const void* buf, unsigned& pos, unsigned len) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > len) {
        pos = 0;
        return false;
    }
    const uint32_t n = loadCount<SW>(bytes(buf) + a);
    pos = static_cast<unsigned>(a + 4);
    if (n != uint64_t(v.size()) + 1) {
        return false;
    }
    const uint64_t end = a + 4 + n;
    if (end > len) {
        pos = 0;
        return false;
    }
    pos = static_cast<unsigned>(end);
    // Never rely on the terminator: the packed text may lack it.
    const unsigned char* p = bytes(buf) + a + 4;
    return std::memcmp(p, v.data(), v.size()) == 0 && p[v.size()] == 0;
}

template <bool SW>
bool compareWide(const std::wstring& v, const void* buf, unsigned& pos, unsigned len) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > len) {
        pos = 0;
        return false;
    }
    const uint32_t n = loadCount<SW>(bytes(buf) + a);
    pos = static_cast<unsigned>(a + 4);
    if (n != uint64_t(v.size()) * 4) {
        return false;
    }
    return detail::compareScalars<SW>(v.data(), v.size(), buf, pos, len);
}

}  // namespace

unsigned pack(CDR_HEADER header, void* buf, unsigned len) {
    if (len < 4) {
        return 0;
    }
    std::memcpy(buf, &header, 4);
    return len - 4;
}

unsigned unpack(CDR_HEADER& header, const void* buf, unsigned len) {
    if (len < 4) {
        return 0;
    }
    std::memcpy(&header, buf, 4);
    return len - 4;
}

unsigned puckEncapsulationSchemeIdentifier(void*, unsigned len) {
    return len < 2 ? 0 : 4;
}

unsigned unpuckEncapsulationSchemeIdentifier(EnEncapsulation& id, const void* buf, unsigned len) {
    if (len < 2) {
        return 0;
    }
    uint16_t raw;
    std::memcpy(&raw, buf, 2);
    id = static_cast<EnEncapsulation>(raw);
    return 4;
}

void initEncapsulationSchemeIdentifier(pack_type) {}

void changeENDIAN(void* data, unsigned n) {
    unsigned char* p = static_cast<unsigned char*>(data);
    std::reverse(p, p + n);
}

unsigned pack(const std::string& v, void* buf, unsigned pos, unsigned len) {
    return packString<false>(v, buf, pos, len);
}
unsigned packCH(const std::string& v, void* buf, unsigned pos, unsigned len) {
    return packString<true>(v, buf, pos, len);
}
unsigned pack(const std::wstring& v, void* buf, unsigned pos, unsigned len) {
    return packWide<false>(v, buf, pos, len);
}
unsigned packCH(const std::wstring& v, void* buf, unsigned pos, unsigned len) {
    return packWide<true>(v, buf, pos, len);
}
unsigned pack(const std::vector<std::string>& v, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::string>, false>::pack(v, buf, pos, len);
}
unsigned packCH(const std::vector<std::string>& v, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::string>, true>::pack(v, buf, pos, len);
}
unsigned pack(const std::vector<std::wstring>& v, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::wstring>, false>::pack(v, buf, pos, len);
}
unsigned packCH(const std::vector<std::wstring>& v, void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::wstring>, true>::pack(v, buf, pos, len);
}

unsigned unpack(std::string& out, const void* buf, unsigned pos, unsigned len) {
    return unpackString<false>(out, buf, pos, len);
}
unsigned unpackCH(std::string& out, const void* buf, unsigned pos, unsigned len) {
    return unpackString<true>(out, buf, pos, len);
}
unsigned unpack(std::wstring& out, const void* buf, unsigned pos, unsigned len) {
    return unpackWide<false>(out, buf, pos, len);
}
unsigned unpackCH(std::wstring& out, const void* buf, unsigned pos, unsigned len) {
    return unpackWide<true>(out, buf, pos, len);
}
unsigned unpack(std::vector<std::string>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::string>, false>::unpack(out, buf, pos, len);
}
unsigned unpackCH(std::vector<std::string>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::string>, true>::unpack(out, buf, pos, len);
}
unsigned unpack(std::vector<std::wstring>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::wstring>, false>::unpack(out, buf, pos, len);
}
unsigned unpackCH(std::vector<std::wstring>& out, const void* buf, unsigned pos, unsigned len) {
    return detail::Codec<std::vector<std::wstring>, true>::unpack(out, buf, pos, len);
}

unsigned nextSTR(const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<false>(buf, pos, lenbuf, Chars::Any);
}
unsigned nextSTRCH(const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<true>(buf, pos, lenbuf, Chars::Any);
}
unsigned nextVCTSTR(const void* buf, unsigned pos, unsigned lenbuf) {
    return skipStrings<false>(buf, pos, lenbuf, Chars::Any);
}
unsigned nextVCTSTRCH(const void* buf, unsigned pos, unsigned lenbuf) {
    return skipStrings<true>(buf, pos, lenbuf, Chars::Any);
}
unsigned next(const std::string&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<false>(buf, pos, lenbuf, Chars::Narrow);
}
unsigned nextCH(const std::string&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<true>(buf, pos, lenbuf, Chars::Narrow);
}
unsigned next(const std::wstring&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<false>(buf, pos, lenbuf, Chars::Wide);
}
unsigned nextCH(const std::wstring&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<true>(buf, pos, lenbuf, Chars::Wide);
}
unsigned next(const std::vector<std::string>&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipStrings<false>(buf, pos, lenbuf, Chars::Narrow);
}
unsigned nextCH(const std::vector<std::string>&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipStrings<true>(buf, pos, lenbuf, Chars::Narrow);
}
unsigned next(const std::vector<std::wstring>&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipStrings<false>(buf, pos, lenbuf, Chars::Wide);
}
unsigned nextCH(const std::vector<std::wstring>&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipStrings<true>(buf, pos, lenbuf, Chars::Wide);
}
unsigned nextPrimitive(const std::string&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<false>(buf, pos, lenbuf, Chars::Narrow);
}
unsigned nextPrimitiveCH(const std::string&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<true>(buf, pos, lenbuf, Chars::Narrow);
}
unsigned nextPrimitive(const std::wstring&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<false>(buf, pos, lenbuf, Chars::Wide);
}
unsigned nextPrimitiveCH(const std::wstring&, const void* buf, unsigned pos, unsigned lenbuf) {
    return skipString<true>(buf, pos, lenbuf, Chars::Wide);
}

unsigned nextPrimitivePr(unsigned size, unsigned pos) {
    return static_cast<unsigned>(alignUp(pos, size) + size);
}

unsigned nextARR_Pr(unsigned size, unsigned count, unsigned pos) {
    return static_cast<unsigned>(alignUp(pos, size) + size * count);
}

unsigned nextPrimitiveVCT_Pr(unsigned size, const void* buf, unsigned pos, unsigned lenbuf,
                             EnEncapsulation enc) {
    const uint64_t a = alignUp(pos, 4);
    if (a + 4 > lenbuf) {
        return 0;
    }
    const uint32_t n =
        enc == CDR_LE ? loadCount<false>(bytes(buf) + a) : loadCount<true>(bytes(buf) + a);
    if (n == 0) {
        return static_cast<unsigned>(a + 4);
    }
    const uint64_t end = alignUp(a + 4, size) + uint64_t(size) * n;
    return end > lenbuf ? 0 : static_cast<unsigned>(end);
}

unsigned lenPacked(unsigned pos, unsigned alignment, unsigned size) {
    if (size == 1) {
        return pos + 1;
    }
    return static_cast<unsigned>(alignUp(pos, alignment)) + size;
}

unsigned lenPackedPrim(unsigned pos, unsigned size) {
    if (size == 1) {
        return pos + 1;
    }
    return static_cast<unsigned>(alignUp(pos, size)) + size;
}

unsigned lenPackedVct(unsigned pos, unsigned size, unsigned count) {
    const unsigned c = lenPackedPrim(pos, 4);
    if (count == 0) {
        // No element, so no alignment for one: pack ends after the count word.
        return c;
    }
    return lenPackedPrim(c, size) + (count - 1) * size;
}

unsigned lenPacked(const std::string& v, unsigned pos) {
    return static_cast<unsigned>(alignUp(pos, 4)) + 4 + static_cast<unsigned>(v.size()) + 1;
}

unsigned lenPacked(const std::wstring& v, unsigned pos) {
    return static_cast<unsigned>(alignUp(pos, 4)) + 4 + 4 * static_cast<unsigned>(v.size());
}

unsigned lenPacked(const std::vector<std::string>& v, unsigned pos) {
    pos = lenPackedPrim(pos, 4);
    for (const std::string& s : v) {
        pos = lenPacked(s, pos);
    }
    return pos;
}

unsigned lenPacked(const std::vector<std::wstring>& v, unsigned pos) {
    pos = lenPackedPrim(pos, 4);
    for (const std::wstring& s : v) {
        pos = lenPacked(s, pos);
    }
    return pos;
}

bool compare(const std::string& v, const void* buf, unsigned& pos, unsigned len) {
    return compareString<false>(v, buf, pos, len);
}
bool compareCH(const std::string& v, const void* buf, unsigned& pos, unsigned len) {
    return compareString<true>(v, buf, pos, len);
}
bool compare(const std::wstring& v, const void* buf, unsigned& pos, unsigned len) {
    return compareWide<false>(v, buf, pos, len);
}
bool compareCH(const std::wstring& v, const void* buf, unsigned& pos, unsigned len) {
    return compareWide<true>(v, buf, pos, len);
}

std::u32string myWSTRING_To_UTF32(const std::wstring& text, bool swap) {
    std::u32string out(text.size(), U'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = static_cast<uint32_t>(text[i]) & 0xFFFFu;
        if (swap) {
            detail::reverseBytes<4>(reinterpret_cast<unsigned char*>(&unit));
        }
        out[i] = static_cast<char32_t>(unit);
    }
    return out;
}

std::wstring myUTF32_To_WSTRING(const std::u32string& text, bool swap) {
    std::wstring out(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = static_cast<uint32_t>(text[i]);
        if (swap) {
            // A swapped unit carries the character in its high half, bytes reversed.
            detail::reverseBytes<4>(reinterpret_cast<unsigned char*>(&unit));
        }
        out[i] = static_cast<wchar_t>(unit & 0xFFFFu);
    }
    return out;
}

}  // namespace VEXA_PACK
