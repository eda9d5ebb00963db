#include "tabs/TabCycle.h"

#include <cstddef>

int TabCycle::Next(const std::vector<bool>& visible, int active, int step)
{
    const int count = static_cast<int>(visible.size());
    if (count == 0 || step == 0)
        return -1;
    const int direction = step > 0 ? 1 : -1;
    int index = active >= 0 && active < count ? active : (direction > 0 ? -1 : count);
    for (int moved = 0; moved < count; ++moved) {
        index = ((index + direction) % count + count) % count;
        if (visible[static_cast<std::size_t>(index)])
            return index;
    }
    return -1;
}

int TabCycle::Nth(const std::vector<bool>& visible, int n)
{
    int seen = 0;
    for (std::size_t i = 0; i < visible.size(); ++i)
        if (visible[i] && ++seen == n)
            return static_cast<int>(i);
    return -1;
}

int TabCycle::Last(const std::vector<bool>& visible)
{
    for (std::size_t i = visible.size(); i-- > 0;)
        if (visible[i])
            return static_cast<int>(i);
    return -1;
}
