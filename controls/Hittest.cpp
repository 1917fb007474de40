#include "Hittest.h"

#include <algorithm>

namespace {

// Count as stored, kept within the room the table has even if a caller
// wrote it directly.
template <typename Room>
int InUse(std::int32_t count, const Room& room)
{
    return int(std::clamp<std::int64_t>(count, 0, std::int64_t(room.size())));
}

} // namespace

void HitListClear(THitList* list)
{
    if (list)
        list->Count = 0;
}

THitRow* HitListGetRow(THitList* list, std::int32_t top, std::int32_t bottom, int create)
{
    if (!list)
        return nullptr;
    THitRow* found = nullptr;
    const int count = InUse(list->Count, list->Rows);
    for (int i = 0; i < count; ++i) {
        THitRow& row = list->Rows[size_t(i)];
        if (row.Top == top && row.Bottom == bottom)
            found = &row;
    }
    if (found || !create)
        return found;
    // A band emptied earlier is used again with the room it has.
    if (size_t(count) == list->Rows.size())
        list->Rows.emplace_back();
    THitRow& row = list->Rows[size_t(count)];
    row.Top = top;
    row.Bottom = bottom;
    row.Count = 0;
    list->Count = count + 1;
    return &row;
}

void HitRowClear(THitRow* row)
{
    if (row)
        row->Count = 0;
}

void HitRowAdd(THitRow* row, std::int32_t left, std::int32_t right, std::int64_t value, std::int32_t tag)
{
    if (!row)
        return;
    const int count = InUse(row->Count, row->Cells);
    const THitCell cell{left, right, value, tag};
    if (size_t(count) == row->Cells.size())
        row->Cells.push_back(cell);
    else
        row->Cells[size_t(count)] = cell;
    row->Count = count + 1;
}

const THitCell* HitListFind(const THitList* list, std::int32_t x, std::int32_t y)
{
    if (!list)
        return nullptr;
    const THitRow* band = nullptr;
    const int rows = InUse(list->Count, list->Rows);
    for (int i = 0; i < rows; ++i) {
        const THitRow& row = list->Rows[size_t(i)];
        if (row.Top <= y && y <= row.Bottom)
            band = &row;
    }
    if (!band)
        return nullptr;
    const THitCell* hit = nullptr;
    const int cells = InUse(band->Count, band->Cells);
    for (int i = 0; i < cells; ++i) {
        const THitCell& cell = band->Cells[size_t(i)];
        if (cell.Left <= x && x <= cell.Right)
            hit = &cell;
    }
    return hit;
}
