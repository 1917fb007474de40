#pragma once
// Number text conversions shared by the converter window and the hex editor:
// a 32-bit value to binary and four-character ASCII text, text in the bases
// the converter shows back to a value, the search-pattern and column-width
// helpers of the hex editor, and the byte-order flips.
//
// No routine reports an error. Parsers skip (or stop at) characters they do
// not accept and let digits beyond 32 bits fall off the top. Text arguments
// are zero-terminated 8-bit strings and must not be null; pass "" instead.
#include <cstdint>
#include <string>

// The value's bytes, most significant first, as characters; leading zero
// bytes are left out, zero bytes below a non-zero one show as '.'.
// 0 gives empty text, 0x41420000 gives "AB..", 0x80414243 gives "\x80" "ABC".
std::string ValueToAscii(uint32_t value);

// byteCount * 8 binary digits, most significant first. A byte count of 0 or
// less picks the smallest of 1..4 bytes that holds the value; above 4 counts
// as 4.
std::string ValueToBinary(uint32_t value, int byteCount);

// Each character shifted in as one byte; the last four characters survive.
uint32_t AsciiTextToValue(const char* text);
// Hexadecimal digits in either case; every other character is skipped.
uint32_t HexTextToValue(const char* text);
// Digits 0..7; every other character is skipped.
uint32_t OctalTextToValue(const char* text);
// Digits 0 and 1; every other character is skipped.
uint32_t BinaryTextToValue(const char* text);
// "0x"/"0X" at the very start reads the rest as hexadecimal; otherwise
// leading white space, an optional sign and decimal digits up to the first
// non-digit, accumulated in wrapping 32-bit arithmetic.
int32_t DecimalTextToValue(const char* text);

// 0..15 for a hexadecimal digit of either case, -1 for anything else.
int HexDigitValue(char ch);
// Cuts every run of hexadecimal digits into bytes of two digits from its left
// end (an odd run ends in a one-digit byte). `out` must hold as many bytes as
// the text has hexadecimal digits. Returns the number of bytes written.
int HexTextToBytes(const char* text, unsigned char* out);
// The decimal text's value as 1, 2 or 4 bytes, most significant first.
// `out` must hold at least 4 bytes. Returns the number of bytes written.
int DecimalTextToBytes(const char* text, unsigned char* out);
// Width in decimal digits of the largest unsigned number of n bytes
// (1..4); 3 for any other n.
int DecimalDigitsForBytes(int n);

// Byte-order flips; each is its own inverse.
uint32_t EndianFlip32(uint32_t value); // reverse all four bytes
uint32_t EndianFlip24(uint32_t value); // swap bytes 0 and 2
uint32_t EndianFlip16(uint32_t value); // swap bytes 0 and 1
