#pragma once

// moc cannot parse the standard library's coroutine and concept headers; it needs none of this.
#ifndef Q_MOC_RUN

#include <coroutine>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

// A step-by-step conversation written as straight-line code: a coroutine that runs at once
// up to its first wait and is resumed by the event loop (a received byte, a timer) when the
// wait is over. No thread and no nested event loop: between two waits the interface, other
// lines and their timers run as usual. Awaiting a Task suspends the caller until it ends.
//
// Arguments of a Task function are kept for its whole run: take them by value. Await only in a
// statement of its own or an initialisation (const bool ok = co_await f();): GCC 12 resumes a
// dead frame when a wait sits inside a condition such as if (!co_await f()).
template<typename T = void>
class Task;

namespace TaskDetail {

struct PromiseBase
{
    std::coroutine_handle<> continuation;
    std::function<void()> whenDone;
    bool done = false;

    std::suspend_never initial_suspend() noexcept { return {}; }
    struct FinalAwaiter
    {
        bool await_ready() noexcept { return false; }
        template<typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> handle) noexcept
        {
            PromiseBase &promise = handle.promise();
            promise.done = true;
            const std::coroutine_handle<> next = promise.continuation;
            // The observer may destroy the frame: nothing of it is touched after the call.
            if (std::function<void()> observer = std::move(promise.whenDone))
                observer();
            return next ? next : std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { std::terminate(); }
};

template<typename T>
struct Promise : PromiseBase
{
    std::optional<T> value;
    Task<T> get_return_object();
    template<typename U>
    void return_value(U &&v)
    {
        value.emplace(std::forward<U>(v));
    }
};

template<>
struct Promise<void> : PromiseBase
{
    Task<void> get_return_object();
    void return_void() {}
};

} // namespace TaskDetail

template<typename T>
class Task
{
public:
    using promise_type = TaskDetail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle handle) : m_handle(handle) {}
    Task(Task &&other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Task &operator=(Task &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_handle = std::exchange(other.m_handle, {});
        }
        return *this;
    }
    Task(const Task &) = delete;
    Task &operator=(const Task &) = delete;
    // Destroying an unfinished task abandons it where it waits (its waits let go of their hooks).
    ~Task() { reset(); }

    bool isValid() const { return bool(m_handle); }
    bool isDone() const { return m_handle && m_handle.promise().done; }
    // The value of a finished task.
    decltype(auto) result() const
    {
        if constexpr (!std::is_void_v<T>)
            return *m_handle.promise().value;
    }
    // Called once when the task ends (at once when it already has). The call may destroy the task.
    void whenDone(std::function<void()> observer)
    {
        if (isDone())
            observer();
        else if (m_handle)
            m_handle.promise().whenDone = std::move(observer);
    }

    bool await_ready() const noexcept { return !m_handle || m_handle.promise().done; }
    void await_suspend(std::coroutine_handle<> caller) noexcept { m_handle.promise().continuation = caller; }
    T await_resume()
    {
        if constexpr (!std::is_void_v<T>)
            return std::move(*m_handle.promise().value);
    }

private:
    void reset()
    {
        if (m_handle)
            m_handle.destroy();
        m_handle = {};
    }
    Handle m_handle;
};

namespace TaskDetail {
template<typename T>
Task<T> Promise<T>::get_return_object()
{
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}
inline Task<void> Promise<void>::get_return_object()
{
    return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}
} // namespace TaskDetail

#else
template<typename T = void>
class Task;
#endif // Q_MOC_RUN
