#pragma once
// A growable list of 32-bit integers, optionally kept sorted.

#include "SonabelErrors.h"

#include <QtGlobal>
#include <vector>

enum TIntegerListSort : quint8 {
    ilUnsorted = 0,
    ilAscending = 1,       // duplicates allowed
    ilAscendingUnique = 2, // duplicates refused
    ilDescending = 3,
    ilDescendingUnique = 4,
};

class TIntegerList {
public:
    static constexpr qint32 MaxListSize = 134217728;

    explicit TIntegerList(TIntegerListSort sort = ilUnsorted) : Sort(sort) {}
    virtual ~TIntegerList() { Clear(); }

    // Index where the value was stored, or -1 when a unique list refuses it.
    qint32 Add(qint32 value);
    void Insert(qint32 index, qint32 value);
    void Clear();

    qint32 Count() const { return FCount; }
    void SetCount(qint32 count);
    qint32 Capacity() const { return FCapacity; }
    void SetCapacity(qint32 capacity);
    qint32 operator[](qint32 index) const;
    TIntegerListSort SortMode() const { return Sort; }

    // Binary searches of the sorted modes: true when found; index receives the
    // position found or the insertion index.
    bool FindAscending(qint32 value, qint32& index) const;
    bool FindDescending(qint32 value, qint32& index) const;

protected:
    virtual void Grow();
    [[noreturn]] virtual void Error(TErrorId id, qint32 data);

private:
    std::vector<qint32> Items; // Items.size() == capacity
    qint32 FCount = 0;
    qint32 FCapacity = 0;
    TIntegerListSort Sort;
};
