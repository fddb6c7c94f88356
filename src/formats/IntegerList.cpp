#include "IntegerList.h"

#include "SonabelErrors.h"

void TIntegerList::Error(TErrorId id, qint32 data) {
    throw EListError(id, {data});
}

void TIntegerList::Grow() {
    qint32 delta = 4;
    if (FCapacity > 64)
        delta = FCapacity / 4;
    else if (FCapacity > 8)
        delta = 16;
    SetCapacity(FCapacity + delta);
}

void TIntegerList::SetCapacity(qint32 capacity) {
    if (capacity < FCount || capacity >= MaxListSize)
        Error(TErrorId::ListCapacity, capacity);
    Items.resize(size_t(capacity));
    FCapacity = capacity;
}

void TIntegerList::SetCount(qint32 count) {
    if (count < 0 || count >= MaxListSize)
        Error(TErrorId::ListCount, count);
    if (count > FCapacity)
        SetCapacity(count);
    for (qint32 i = FCount; i < count; ++i)
        Items[size_t(i)] = 0;
    FCount = count;
}

qint32 TIntegerList::operator[](qint32 index) const {
    if (index < 0 || index >= FCount)
        const_cast<TIntegerList*>(this)->Error(TErrorId::ListIndex, index);
    return Items[size_t(index)];
}

void TIntegerList::Insert(qint32 index, qint32 value) {
    if (index < 0 || index > FCount)
        Error(TErrorId::ListIndex, index);
    if (FCount == FCapacity)
        Grow();
    for (qint32 i = FCount; i > index; --i)
        Items[size_t(i)] = Items[size_t(i - 1)];
    Items[size_t(index)] = value;
    ++FCount;
}

qint32 TIntegerList::Add(qint32 value) {
    qint32 index = FCount;
    bool found = false;
    switch (Sort) {
    case ilUnsorted:
        break;
    case ilAscending:
    case ilAscendingUnique:
        found = FindAscending(value, index);
        break;
    case ilDescending:
    case ilDescendingUnique:
        found = FindDescending(value, index);
        break;
    }
    if (found && (Sort == ilAscendingUnique || Sort == ilDescendingUnique))
        return -1;
    Insert(index, value);
    return index;
}

void TIntegerList::Clear() {
    FCount = 0;
    Items.clear();
    Items.shrink_to_fit();
    FCapacity = 0;
}

namespace {

// The bisection keeps high exclusive and stops when fewer than two items remain;
// the last middle examined decides the insertion index. Before(a, b) tells
// whether a sorts ahead of b, so one search serves both orders.
template <typename Before>
bool BinaryFind(const std::vector<qint32>& items, qint32 count, qint32 value, qint32& index,
                Before before) {
    if (count == 0 || before(value, items[0])) {
        index = 0;
        return false;
    }
    if (value == items[0]) {
        index = 0;
        return true;
    }
    qint32 low = 0, high = count, middle = 0;
    do {
        middle = low + (high - low) / 2;
        const qint32 item = items[size_t(middle)];
        if (value == item) {
            index = middle;
            return true;
        }
        if (before(value, item))
            high = middle;
        else
            low = middle;
    } while (high - low >= 2);
    index = before(items[size_t(middle)], value) ? middle + 1 : middle;
    return false;
}

} // namespace

bool TIntegerList::FindAscending(qint32 value, qint32& index) const {
    return BinaryFind(Items, FCount, value, index, [](qint32 a, qint32 b) { return a < b; });
}

bool TIntegerList::FindDescending(qint32 value, qint32& index) const {
    return BinaryFind(Items, FCount, value, index, [](qint32 a, qint32 b) { return a > b; });
}
