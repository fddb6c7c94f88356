// Short forms for QtTest data tables: a row of columns declared in one line.
#pragma once

#include <QTest>
#include <initializer_list>

namespace TestTable {

// One column per name, typed in the same order. The names must be literals:
// the table keeps the pointers.
template <class... T> void Columns(std::initializer_list<const char*> names) {
    Q_ASSERT(names.size() == sizeof...(T));
    auto name = names.begin();
    (QTest::addColumn<T>(*name++), ...);
}

// One row, its values in column order (a string literal fills a QString column).
template <class... T> void Row(const char* name, T... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace TestTable
