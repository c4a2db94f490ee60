// expect: 4
// Waits inside loop conditions, over several lines: each co_await below is one breach.
#include "core/common/Task.h"

Task<bool> f(int step);
Task<int> count();

Task<void> loops(int limit)
{
    int step = 0;
    while (step < limit
           && !co_await f(
                  step)) {
        ++step;
    }
    do {
        ++step;
    } while (!co_await f(step));
    for (int i = co_await count(); i < limit; ++i)
        step += i;
    for (int i = 0;
         i < limit;
         i += co_await count()) {
        step -= i;
    }
}
