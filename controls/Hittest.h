#pragma once
// A table of screen regions: horizontal bands (a range of y), each holding
// cells (a range of x) with two words of the owner's data. A painter records
// what it draws; a mouse handler looks a point up to learn what was drawn
// there.
//
// The table grows as bands and cells are added, so every band and cell that
// is added is kept, however many there are; emptying a band or the list keeps
// its room, so filling it again allocates nothing new. Nothing is ever written
// outside the table. All bounds are inclusive. Lookups let the last match
// win. Every function accepts a null pointer and then does nothing / returns
// null.
//
// A band stays where it is for the list's life: adding bands never moves the
// ones handed out before, so a caller may go on filling a band it got earlier.
// A cell's Value is 64-bit, room for a byte offset anywhere in a large file.
#include <cstdint>
#include <deque>
#include <vector>

struct THitCell
{
    std::int32_t Left;  // first x, inclusive
    std::int32_t Right; // last x, inclusive
    std::int64_t Value; // owner's first word
    std::int32_t Tag;   // owner's second word
};

struct THitRow
{
    std::int32_t Top = 0;    // first y, inclusive
    std::int32_t Bottom = 0; // last y, inclusive
    std::vector<THitCell> Cells; // room for the cells; grows as they are added
    std::int32_t Count = 0;      // cells in use: the first Count entries
};

struct THitList
{
    std::deque<THitRow> Rows; // room for the bands; grows at the end only,
                              // which moves none of the bands already there
    std::int32_t Count = 0;    // bands in use: the first Count entries
};

void HitListClear(THitList* list);
// The last band whose Top and Bottom equal top and bottom. When none matches
// and create is non-zero, a new empty band is appended and returned;
// otherwise null. A band got earlier stays valid for the list's life.
THitRow* HitListGetRow(THitList* list, std::int32_t top, std::int32_t bottom, int create);
void HitRowClear(THitRow* row);
// Appends {left, right, value, tag} unchanged.
void HitRowAdd(THitRow* row, std::int32_t left, std::int32_t right, std::int64_t value, std::int32_t tag);
// The last band containing y is chosen; within it, the last cell containing
// x is the result. Null when either is missing (earlier bands are not tried).
const THitCell* HitListFind(const THitList* list, std::int32_t x, std::int32_t y);
