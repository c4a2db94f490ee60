// expect: 5
// Capturing lambdas whose own body is a coroutine: each lambda below is one breach.
#include "core/common/Task.h"

#include <functional>

Task<bool> f();
void submit(std::function<Task<void>()> script);

class Poller
{
public:
    void start(int limit, int &total)
    {
        submit([this]() -> Task<void> { co_await f(); });
        submit([&]() -> Task<void> {
            m_done = co_await f();
        });
        submit([=]() -> Task<void> { co_return; });
        submit([limit, &total]() -> Task<void> {
            total = limit;
            co_await f();
        });
        // Only the inner lambda is a coroutine, and it captures: it alone is the breach.
        submit([]() -> Task<void> {
            int local = 0;
            return [&local]() -> Task<void> { local = co_await f(); }();
        });
    }

private:
    bool m_done = false;
};
