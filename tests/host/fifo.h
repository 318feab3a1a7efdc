// Named pipes for tests of code that must not open them. A call that opens one anyway would
// wait for a writer for ever; these helpers end such a wait, so a test fails instead of
// hanging.
#pragma once

#include <QFile>
#include <QString>

#include <chrono>
#include <future>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeltpc5::testing {

inline bool MakeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// Runs call on another thread and returns its result. When the call is still running after
// a generous while, it is waiting on the FIFO: the FIFO is given a writer that closes at once,
// the call reads the end of the file and returns, and *blocked is set.
template <class Call>
auto RunBesideFifo(const QString &fifo, Call call, bool *blocked)
{
    auto result = std::async(std::launch::async, std::move(call));
    *blocked = result.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    if (*blocked) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    return result.get();
}

} // namespace zeltpc5::testing
