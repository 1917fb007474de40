// The number text conversions over any text, and the round trips of every
// value the fuzzer makes.
//
// The text goes into a heap copy of exactly its length plus the terminator,
// and every output buffer is exactly as large as the routine's contract says,
// so AddressSanitizer reports any read or write past either.
#include "FuzzCheck.h"
#include "Fmorvic.h"
#include "Numbase.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool IsHexDigit(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The bytes HexTextToBytes should give, worked out independently: every run
// of hex digits cut into pairs from its left end, an odd run ending in one
// single-digit byte.
std::vector<unsigned char> ExpectedHexBytes(const char* text)
{
    std::vector<unsigned char> out;
    int digits = 0;
    unsigned acc = 0;
    for (const char* p = text;; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c && IsHexDigit(c)) {
            const unsigned v = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
            acc = acc * 16 + v;
            if (++digits == 2) {
                out.push_back(static_cast<unsigned char>(acc));
                acc = 0;
                digits = 0;
            }
            continue;
        }
        if (digits)
            out.push_back(static_cast<unsigned char>(acc));
        acc = 0;
        digits = 0;
        if (!c)
            break;
    }
    return out;
}

// The converter's decimal field, read by an independent rule: after leading
// spaces, a decimal number 0..4294967295 or -2147483648..-1 with an optional
// sign and nothing after it, or a hexadecimal number after "$", "x", "X",
// "0x" or "0X" that fits in 32 bits; anything else is 0.
uint32_t ExpectedDecimalField(const char* t)
{
    while (*t == ' ')
        ++t;
    std::string digits;
    int base = 10;
    bool negative = false;
    if (*t == '$' || *t == 'x' || *t == 'X') {
        base = 16;
        digits = t + 1;
    } else if (t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        digits = t + 2;
    } else {
        if (*t == '+' || *t == '-')
            negative = *t++ == '-';
        digits = t;
    }
    if (digits.empty())
        return 0;
    for (const char c : digits) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (base == 10 ? !(u >= '0' && u <= '9') : !IsHexDigit(u))
            return 0;
    }
    const size_t nonZero = digits.find_first_not_of('0');
    digits = nonZero == std::string::npos ? "0" : digits.substr(nonZero);
    if (digits.size() > (base == 16 ? 8u : 10u))
        return 0;
    const unsigned long long v = std::stoull(digits, nullptr, base);
    if (base == 16)
        return static_cast<uint32_t>(v);
    if (negative)
        return v > 0x80000000ull ? 0u : static_cast<uint32_t>(0ull - v);
    return v > 0xFFFFFFFFull ? 0u : static_cast<uint32_t>(v);
}

void CheckText(const unsigned char* data, size_t size)
{
    // Exactly-sized, terminated copy; an embedded NUL simply ends the text.
    std::unique_ptr<char[]> text(new char[size + 1]);
    std::memcpy(text.get(), data, size);
    text[size] = '\0';
    const char* t = text.get();
    const size_t length = std::strlen(t);

    FUZZ_CHECK(DecimalFieldTextToValue(t) == ExpectedDecimalField(t));
    AsciiTextToValue(t);
    HexTextToValue(t);
    OctalTextToValue(t);
    BinaryTextToValue(t);
    DecimalTextToValue(t);

    // The four-character rule: the last four characters survive.
    uint32_t ascii = 0;
    for (size_t i = length > 4 ? length - 4 : 0; i < length; ++i)
        ascii = (ascii << 8) | static_cast<unsigned char>(t[i]);
    FUZZ_CHECK(AsciiTextToValue(t) == ascii);

    size_t hexDigits = 0;
    for (size_t i = 0; i < length; ++i)
        hexDigits += IsHexDigit(static_cast<unsigned char>(t[i]));
    // Output exactly as large as the number of hex digits (a zero-size block
    // when there are none: any write to it is reported).
    std::unique_ptr<unsigned char[]> out(new unsigned char[hexDigits]);
    const int count = HexTextToBytes(t, out.get());
    FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= hexDigits);
    const std::vector<unsigned char> expected = ExpectedHexBytes(t);
    FUZZ_CHECK(static_cast<size_t>(count) == expected.size());
    FUZZ_CHECK(count == 0 || std::memcmp(out.get(), expected.data(), expected.size()) == 0);

    std::unique_ptr<unsigned char[]> dec(new unsigned char[4]);
    const int decCount = DecimalTextToBytes(t, dec.get());
    FUZZ_CHECK(decCount == 1 || decCount == 2 || decCount == 4);
    uint32_t back = 0;
    for (int i = 0; i < decCount; ++i)
        back = (back << 8) | dec[i];
    const uint32_t decValue = static_cast<uint32_t>(DecimalTextToValue(t));
    FUZZ_CHECK(back == decValue);
    // The narrowest of 1, 2 or 4 bytes that holds the value.
    FUZZ_CHECK(decCount == (decValue < 256u ? 1 : decValue < 65536u ? 2 : 4));

    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        const int d = HexDigitValue(static_cast<char>(c));
        FUZZ_CHECK(IsHexDigit(c) ? d >= 0 && d <= 15 : d == -1);
    }
}

std::string Format(const char* format, uint32_t value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void CheckValue(uint32_t v, int byteCount)
{
    FUZZ_CHECK(BinaryTextToValue(ValueToBinary(v, 4).c_str()) == v);
    FUZZ_CHECK(ValueToBinary(v, 4).size() == 32);

    // Any byte count: 0 or less picks the narrowest width that holds the
    // value, above 4 counts as 4; the text is 8 digits per byte of 0 and 1.
    const std::string bin = ValueToBinary(v, byteCount);
    int width = byteCount;
    if (byteCount <= 0)
        width = v > 0xFFFFFFu ? 4 : v > 0xFFFFu ? 3 : v > 0xFFu ? 2 : 1;
    else if (byteCount > 4)
        width = 4;
    FUZZ_CHECK(bin.size() == static_cast<size_t>(width) * 8);
    FUZZ_CHECK(bin.find_first_not_of("01") == std::string::npos);
    const uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (width * 8)) - 1u;
    FUZZ_CHECK(BinaryTextToValue(bin.c_str()) == (v & mask));

    FUZZ_CHECK(HexTextToValue(Format("%x", v).c_str()) == v);
    FUZZ_CHECK(HexTextToValue(Format("%08X", v).c_str()) == v);
    FUZZ_CHECK(OctalTextToValue(Format("%o", v).c_str()) == v);
    FUZZ_CHECK(static_cast<uint32_t>(DecimalTextToValue(Format("%u", v).c_str())) == v);
    FUZZ_CHECK(static_cast<uint32_t>(DecimalTextToValue(Format("%d", v).c_str())) == v);
    FUZZ_CHECK(static_cast<uint32_t>(DecimalTextToValue(Format("0x%X", v).c_str())) == v);
    // The converter's decimal field reads back the unsigned text it shows,
    // the signed one and every hexadecimal form.
    FUZZ_CHECK(DecimalFieldTextToValue(Format("%u", v).c_str()) == v);
    FUZZ_CHECK(DecimalFieldTextToValue(Format("  %d", v).c_str()) == v);
    FUZZ_CHECK(DecimalFieldTextToValue(Format("$%x", v).c_str()) == v);
    FUZZ_CHECK(DecimalFieldTextToValue(Format("0X%08X", v).c_str()) == v);
    FUZZ_CHECK(DecimalFieldTextToValue((Format("%u", v) + "0").c_str()) == (uint64_t(v) * 10 > 0xFFFFFFFFull ? 0u : v * 10));

    // ASCII text: leading zero bytes left out, inner zero bytes shown as '.',
    // so reading it back gives the value with those bytes turned into '.'.
    const std::string ascii = ValueToAscii(v);
    FUZZ_CHECK(ascii.size() <= 4);
    uint32_t dotted = 0;
    bool started = false;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned b = (v >> shift) & 0xFFu;
        if (!started && b == 0)
            continue;
        started = true;
        dotted = (dotted << 8) | (b ? b : '.');
    }
    FUZZ_CHECK(AsciiTextToValue(ascii.c_str()) == dotted);

    FUZZ_CHECK(EndianFlip32(EndianFlip32(v)) == v);
    FUZZ_CHECK(EndianFlip24(EndianFlip24(v)) == v);
    FUZZ_CHECK(EndianFlip16(EndianFlip16(v)) == v);
    FUZZ_CHECK((EndianFlip24(v) & 0xFF00FF00u) == (v & 0xFF00FF00u));
    FUZZ_CHECK((EndianFlip16(v) & 0xFFFF0000u) == (v & 0xFFFF0000u));

    const int digits = DecimalDigitsForBytes(byteCount);
    FUZZ_CHECK(digits == 3 || digits == 5 || digits == 8 || digits == 10);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckText(data, size);
    // Every aligned 8-byte window also makes a value and a byte count.
    for (size_t i = 0; i + 8 <= size; i += 8) {
        uint32_t v = 0;
        int32_t n = 0;
        std::memcpy(&v, data + i, 4);
        std::memcpy(&n, data + i + 4, 4);
        CheckValue(v, n);
        CheckValue(v, static_cast<int>(data[i + 4] % 8) - 2);
    }
    if (size < 8) {
        uint32_t v = 0;
        std::memcpy(&v, data, size < 4 ? size : 4);
        CheckValue(v, 4);
    }
    return 0;
}
