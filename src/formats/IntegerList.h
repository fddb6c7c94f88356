#pragma once
// A growable list of 32-bit integers.

#include "SonabelErrors.h"

#include <QtGlobal>
#include <vector>

class TIntegerList {
public:
    static constexpr qint32 MaxListSize = 134217728;

    TIntegerList() = default;
    virtual ~TIntegerList() { Clear(); }

    // Appends; returns the value's index.
    qint32 Add(qint32 value);
    void Insert(qint32 index, qint32 value);
    void Clear();

    qint32 Count() const { return FCount; }
    void SetCount(qint32 count);
    qint32 Capacity() const { return FCapacity; }
    void SetCapacity(qint32 capacity);
    qint32 operator[](qint32 index) const;

protected:
    virtual void Grow();
    [[noreturn]] virtual void Error(TErrorId id, qint32 data);

private:
    std::vector<qint32> Items; // Items.size() == capacity
    qint32 FCount = 0;
    qint32 FCapacity = 0;
};
