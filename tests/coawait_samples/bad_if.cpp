// expect: 5
// Waits inside the condition of an if or a switch: each co_await below is one breach.
#include "core/common/Task.h"

Task<bool> f();
Task<int> g();
bool check(bool value);

Task<void> conditions(bool flag)
{
    if (co_await f())
        flag = false;
    if (flag) {
        flag = true;
    } else if (!co_await f()) {
        flag = false;
    }
    if (check(co_await f())) // a function argument inside a condition is still in the condition
        flag = true;
    if constexpr (true) {
        if (const bool ok = co_await f(); ok) // the init-statement belongs to the condition too
            flag = ok;
    }
    switch (co_await g()) {
    case 1:
        break;
    default:
        break;
    }
}
