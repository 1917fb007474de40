#pragma once
// The hex editor's candidate scan over a byte buffer.
//
// Candidates are the offsets start, start + 1, ... that leave room for the
// whole pattern (candidate + n <= size). The first candidate whose n bytes
// equal the pattern is the result; -1 when none does. `lastExamined`
// receives the last candidate looked at: the match after a success, the
// last candidate that fits (size - n) after a failure, and it is left alone
// when not a single candidate fits. Calling again from lastExamined + 1 thus
// finds the next, possibly overlapping, match, and keeps giving -1 once the
// candidates have run out.
//
// The result and lastExamined are those of testing every candidate in turn;
// the scan itself jumps between candidates: memmem for exact bytes, and for
// case folding a vector scan for the first two bytes in either case.

// ASCII case mapping: 'A'..'Z' to 'a'..'z', every other byte unchanged.
unsigned char HexScanFoldByte(unsigned char ch);

// foldCase: letters compare without regard to case (ASCII only).
// An empty pattern matches at the first candidate. Offsets and sizes are
// 64-bit: the buffer may be a window of a larger file or a large block.
long long HexScanFind(const unsigned char* data, long long size, long long start,
                      const unsigned char* pattern, int n, bool foldCase,
                      long long* lastExamined);

// The last candidate among first..last (both inclusive, each leaving room
// for the pattern in `data`) whose n bytes equal the pattern, or -1. An
// empty pattern matches at `last`.
long long HexScanFindLast(const unsigned char* data, long long first, long long last,
                          const unsigned char* pattern, int n, bool foldCase);
