// expect: 6
// Waits as operands of &&, || and ?: (evaluated only sometimes): each co_await below is one breach.
#include "core/common/Task.h"

Task<bool> f();
Task<int> g();
bool check(bool value);

Task<bool> operands(bool a, bool b)
{
    bool ok = false;
    ok = a && co_await f();
    const int n = b ? co_await g() : 0;
    ok = co_await f() || b; // left operand: co_await binds tighter than ||
    ok = a && (b || check(co_await f())); // through parentheses and a call
    ok = (n > 0) and co_await f();
    co_return a
        ? ok
        : co_await f();
}
