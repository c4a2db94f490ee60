// expect: 0
// Every allowed form: the checker must find nothing here.
#include "core/common/Task.h"

#include <functional>
#include <utility>

#define WAIT_IN_MACRO(x) if (co_await x) return // directives are not looked at

struct Reply
{
    int code = 0;
};

Task<bool> f();
Task<bool> f(bool value);
Task<int> g(int value);
Task<Reply> reply();
bool check(bool value);
void use(bool value, bool other);
void submit(std::function<Task<void>()> script);
bool submitted(std::function<Task<void>()> script);
bool busy();
Task<void> waitFor(std::function<bool()> done);

// Comments may say anything: if (co_await x), while (!co_await y), a && co_await z.
/* for (;; co_await x) { [this]() -> Task<void> { co_await f(); }; }
   switch (co_await x) */
Task<int> allowed(bool a, bool b, int limit)
{
    co_await f();                                    // a statement of its own
    const bool ok = co_await f();                    // an initialisation
    bool again = false;
    again = co_await f(a && b);                      // an assignment; && inside the argument
    use(a || b, co_await f());                       // a plain argument beside another one
    [[maybe_unused]] auto &&held = co_await reply(); // && of a declarator
    const Reply moved = static_cast<Reply &&>(co_await reply());
    int values[2] = {};
    values[ok ? 1 : 0] = co_await g(1);
    const char *text = "if (co_await x) && [this]() { co_await f(); }";
    const char quote = '(';
    const char *raw = R"raw(while (co_await x)
        a || co_await y ") ? co_await z : 0)raw";
    const int big = 1'000'000 + (quote == ')' ? 1 : 0);
    if (a && b) {
        again = co_await f();
    } else if (again) {
        const int before = a ? 1 : 2; again = co_await f(before > 1); // ?: in the statement before
    }
    for (int i = 0; i < limit && again; ++i)
        again = co_await f(check(i > 0 || b));
    while (again)
        again = co_await f();
    const int kind = co_await g(2);
    switch (kind > 0 ? 1 : 0) {
    default:
        break;
    }
    co_await waitFor([] { return !busy(); });
    submit([]() -> Task<void> { co_await f(); });    // captureless coroutine lambda
    submit([](bool flag) -> Task<void> {
        const bool done = co_await f(flag);
        co_return;
    });
    submit([a]() -> Task<void> { return [](bool flag) -> Task<void> { co_await f(flag); }(a); });
    // A lambda body is a function of its own, even inside a condition or beside &&.
    if (submitted([]() -> Task<void> { co_await f(); }))
        again = a && submitted([]() -> Task<void> { co_await f(); });
    Reply r{co_await g(big)};
    (void)text;
    (void)raw;
    (void)moved;
    co_return co_await g(values[0] + r.code);
}

class Poller
{
public:
    void start()
    {
        submit([this]() -> Task<void> { return runPoll(); }); // returns the Task, no wait
        submit([this] { return runPoll(); });
    }

private:
    Task<void> runPoll()
    {
        m_done = co_await f();
    }
    bool m_done = false;
};
