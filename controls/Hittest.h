#pragma once
// A fixed-capacity table of screen regions: up to 128 horizontal bands (a
// range of y), each holding up to 128 cells (a range of x) with two words of
// the owner's data. A painter records what it draws; a mouse handler looks a
// point up to learn what was drawn there.
//
// The table is a plain value type: no heap, embedded by value in its owner.
// All bounds are inclusive. Lookups let the last match win. Requests past
// the capacity are refused (no band is created, the cell is not stored), so
// nothing is ever written outside the table. Every function accepts a null
// pointer and then does nothing / returns null.
#include <cstdint>

constexpr int HitMaxRows = 128;
constexpr int HitMaxCells = 128;

struct THitCell
{
    std::int32_t Left;  // first x, inclusive
    std::int32_t Right; // last x, inclusive
    std::int32_t Value; // owner's first word
    std::int32_t Tag;   // owner's second word
};

struct THitRow
{
    std::int32_t Top;    // first y, inclusive
    std::int32_t Bottom; // last y, inclusive
    THitCell Cells[HitMaxCells];
    std::int32_t Count = 0; // cells in use: the first Count entries
};

struct THitList
{
    THitRow Rows[HitMaxRows];
    std::int32_t Count = 0; // bands in use: the first Count entries
};

void HitListClear(THitList* list);
// The last band whose Top and Bottom equal top and bottom. When none matches
// and create is non-zero, a new empty band is appended and returned, unless
// the list is full; otherwise null.
THitRow* HitListGetRow(THitList* list, std::int32_t top, std::int32_t bottom, int create);
void HitRowClear(THitRow* row);
// Appends {left, right, value, tag} unchanged; a full band ignores it.
void HitRowAdd(THitRow* row, std::int32_t left, std::int32_t right, std::int32_t value, std::int32_t tag);
// The last band containing y is chosen; within it, the last cell containing
// x is the result. Null when either is missing (earlier bands are not tried).
const THitCell* HitListFind(const THitList* list, std::int32_t x, std::int32_t y);
