#pragma once

#include <vector>

// Moving between tabs by key. Pages are given in order, each with whether
// its tab shows; hidden pages (the placeholder, a popup still waiting) are
// skipped. Every answer is a page index, or -1 for none.
namespace TabCycle {

// The visible tab step (+1 or -1) tabs from active, wrapping around the ends.
int Next(const std::vector<bool>& visible, int active, int step);
// The n-th visible tab, counting from 1; -1 when there are fewer.
int Nth(const std::vector<bool>& visible, int n);
int Last(const std::vector<bool>& visible);

} // namespace TabCycle
