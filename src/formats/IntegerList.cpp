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
    const qint32 index = FCount;
    Insert(index, value);
    return index;
}

void TIntegerList::Clear() {
    FCount = 0;
    Items.clear();
    Items.shrink_to_fit();
    FCapacity = 0;
}
