#pragma once
// How a language unit lists its texts: one row per entry, by identifier, so
// that a misplaced or missing row fails to compile instead of shifting every
// following text.

#include "messages/Messages.h"

#include <cstddef>

struct TMsgText {
    TMsgId Id;
    const char16_t* Text;
};

template <std::size_t N> constexpr bool InIndexOrder(const TMsgText (&texts)[N]) {
    if (N != std::size_t(MessageCount))
        return false;
    for (std::size_t i = 0; i < N; ++i)
        if (texts[i].Id != TMsgId(i) || texts[i].Text == nullptr)
            return false;
    return true;
}

template <std::size_t N> void FillMessageTable(const TMsgText (&texts)[N]) {
    for (const TMsgText& row : texts)
        MessageTable[row.Id] = QString::fromUtf16(row.Text);
}
