#pragma once

#include <QEventLoop>
#include <QObject>

#include <exception>
#include <optional>
#include <thread>
#include <type_traits>

namespace ravlen::network {

// Runs `work` on its own thread while the calling (user-interface) thread waits in a local
// event loop, so windows repaint and events posted by the work (arrived images, progress) are
// handled before this returns. What `work` throws is thrown here. Everything the work posts to
// this thread before it ends is delivered before the call returns.
template <class Work> auto runInBackground(Work &&work) -> std::invoke_result_t<Work> {
    using Result = std::invoke_result_t<Work>;
    QEventLoop loop;
    std::exception_ptr failure;
    std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
    std::thread worker([&] {
        try {
            if constexpr (std::is_void_v<Result>) {
                work();
            } else {
                result.emplace(work());
            }
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued behind whatever the work posted, so those events are handled first.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    if constexpr (!std::is_void_v<Result>) {
        return std::move(*result);
    }
}

} // namespace ravlen::network
