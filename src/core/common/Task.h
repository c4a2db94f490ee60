#pragma once

// moc cannot parse the standard library's coroutine and concept headers; it needs none of this.
#ifndef Q_MOC_RUN

#include <QtGlobal>

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
// dead frame when a wait sits inside a condition such as if (!co_await f()); a lambda that
// awaits captures nothing (its captures die with the lambda, not the frame). tests/check_coawait.py
// keeps both rules.
//
// Exceptions: none crosses a wait. The project's code reports failures by value; an exception
// escaping a step ends the program at once (std::terminate) rather than leave a line half-spoken.
//
// A Task is [[nodiscard]]: a call whose Task is dropped would be abandoned at its first wait.
// Reading the value of an empty or unfinished task, or destroying a task from inside its own
// end (whenDone), is a programming error that stops the program with a message.
template<typename T = void>
class Task;

namespace TaskDetail {

struct PromiseBase
{
    std::coroutine_handle<> continuation;
    std::function<void()> whenDone;
    bool done = false;
    bool inObserver = false; // whenDone is being called: the frame must not be destroyed now

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
            // The observer must not destroy the frame (it is still inside its last step): owners
            // post the release to the event loop.
            if (std::function<void()> observer = std::move(promise.whenDone)) {
                promise.inObserver = true;
                observer();
                promise.inObserver = false;
            }
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
class [[nodiscard]] Task
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
        if (!isDone())
            qFatal("Task::result() of a task that is empty or has not finished");
        if constexpr (!std::is_void_v<T>)
            return *m_handle.promise().value;
    }
    // Called once when the task ends (at once when it already has). The call must not destroy
    // the task: post its release to the event loop.
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
        if constexpr (!std::is_void_v<T>) {
            if (!m_handle)
                qFatal("co_await on an empty Task");
            return std::move(*m_handle.promise().value);
        }
    }

private:
    void reset()
    {
        if (m_handle) {
            if (m_handle.promise().inObserver)
                qFatal("a Task destroyed from inside its own end");
            m_handle.destroy();
        }
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
