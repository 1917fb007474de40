#include "Hittest.h"

#include <algorithm>

namespace {

// Count as stored, kept within the table even if a caller wrote it directly.
int InUse(std::int32_t count, int capacity)
{
    return std::clamp<std::int32_t>(count, 0, capacity);
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
    const int count = InUse(list->Count, HitMaxRows);
    for (int i = 0; i < count; ++i) {
        THitRow& row = list->Rows[i];
        if (row.Top == top && row.Bottom == bottom)
            found = &row;
    }
    if (found || !create || count >= HitMaxRows)
        return found;
    THitRow& row = list->Rows[count];
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

void HitRowAdd(THitRow* row, std::int32_t left, std::int32_t right, std::int32_t value, std::int32_t tag)
{
    if (!row)
        return;
    const int count = InUse(row->Count, HitMaxCells);
    if (count >= HitMaxCells)
        return;
    row->Cells[count] = THitCell{left, right, value, tag};
    row->Count = count + 1;
}

const THitCell* HitListFind(const THitList* list, std::int32_t x, std::int32_t y)
{
    if (!list)
        return nullptr;
    const THitRow* band = nullptr;
    const int rows = InUse(list->Count, HitMaxRows);
    for (int i = 0; i < rows; ++i) {
        const THitRow& row = list->Rows[i];
        if (row.Top <= y && y <= row.Bottom)
            band = &row;
    }
    if (!band)
        return nullptr;
    const THitCell* hit = nullptr;
    const int cells = InUse(band->Count, HitMaxCells);
    for (int i = 0; i < cells; ++i) {
        const THitCell& cell = band->Cells[i];
        if (cell.Left <= x && x <= cell.Right)
            hit = &cell;
    }
    return hit;
}
