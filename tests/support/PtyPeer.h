#pragma once

// The far end of a pseudo-terminal, standing in for the instrument: the test reads what the
// program sent and writes what the instrument answers.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer {
public:
    /** The line settings the program finds when it opens the port. */
    enum class Line {
        Raw, ///< raw already, as a port the program configured before
        AsCreated, ///< a new terminal's: line editing, echo, CR/LF translation
    };

    explicit PtyPeer(Line line = Line::Raw)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        // Hold the far end open, so that the pty stays up while the program closes and reopens it.
        m_slave = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw {};
        if (line == Line::Raw && m_slave >= 0 && tcgetattr(m_slave, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(m_slave, TCSANOW, &raw);
        }
    }
    ~PtyPeer()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    const QString& devicePath() const { return m_slavePath; }

    /** The instrument goes away: both ends close, and the program's port fails from now on. */
    void hangUp()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
        m_slave = m_master = -1;
    }

    bool send(const QByteArray& bytes)
    {
        return ::write(m_master, bytes.constData(), bytes.size()) == bytes.size();
    }

    /** What the program sent and is waiting on the line, collected for up to @p waitMs. */
    QByteArray received(int waitMs = 0)
    {
        QByteArray all;
        pollfd p { m_master, POLLIN, 0 };
        while (::poll(&p, 1, all.isEmpty() ? waitMs : 0) > 0 && (p.revents & POLLIN)) {
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            all.append(buffer, n);
        }
        return all;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
