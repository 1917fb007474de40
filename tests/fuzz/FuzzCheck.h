#pragma once
// What every fuzz target shares: a check that stops the run with a message
// (libFuzzer then saves the input as a crash), and a headless Qt set up once
// with a private settings folder.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                    \
    do {                                                                                    \
        if (!(cond)) {                                                                      \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// Reads the fuzzer's bytes front to back; past the end every read gives 0.
class TFuzzInput
{
public:
    TFuzzInput(const unsigned char* data, size_t size) : FData(data), FSize(size) {}

    bool Empty() const { return FPos >= FSize; }
    size_t Left() const { return FSize - FPos; }
    unsigned char Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    unsigned Word16() { unsigned v = Byte(); return (v << 8) | Byte(); }
    unsigned Word32() { unsigned v = Word16(); return (v << 16) | Word16(); }
    // Up to maxLength bytes, the length taken from the input first.
    const unsigned char* Bytes(size_t maxLength, size_t* length)
    {
        size_t n = maxLength ? Byte() % (maxLength + 1) : 0;
        if (n > Left())
            n = Left();
        const unsigned char* p = FData + FPos;
        FPos += n;
        *length = n;
        return p;
    }

private:
    const unsigned char* FData;
    size_t FSize;
    size_t FPos = 0;
};
