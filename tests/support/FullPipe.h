#pragma once

#include <QByteArray>

#include <fcntl.h>
#include <unistd.h>

// A pipe nobody reads, full from the start: the next write to it blocks. Both ends stay open
// while it lives.
struct FullPipe {
    FullPipe()
    {
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        const int size = ::fcntl(ends[1], F_SETPIPE_SZ, 4096);
        const QByteArray filling(size > 0 ? size : 0, 'x');
        full = size > 0 && ::fcntl(ends[1], F_SETFL, O_NONBLOCK) == 0
            && ::write(ends[1], filling.constData(), std::size_t(size)) == ssize_t(size)
            && ::fcntl(ends[1], F_SETFL, 0) == 0;
    }
    ~FullPipe()
    {
        closeReader();
        if (ends[1] >= 0)
            ::close(ends[1]);
    }
    FullPipe(const FullPipe&) = delete;
    FullPipe& operator=(const FullPipe&) = delete;

    int writer() const { return ends[1]; }
    // The reader goes: a write blocked on the pipe fails at once (EPIPE).
    void closeReader()
    {
        if (ends[0] >= 0)
            ::close(ends[0]);
        ends[0] = -1;
    }
    // The writing end is kept for a thread that may still write to it.
    void keepWriter() { ends[1] = -1; }

    int ends[2] = { -1, -1 };
    bool full = false;
};
