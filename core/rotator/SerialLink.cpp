#include "rotator/SerialLink.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

std::optional<speed_t> speedConstant(int baud)
{
    switch (baud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
    default:
        return std::nullopt;
    }
}

QString systemError(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in buffer.
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

RotatorLinkError inUse(const QString& path)
{
    return RotatorLinkError::open(SerialLink::shortName(path)
                                  + QStringLiteral(" is in use by another antenna or another program"));
}

} // namespace

SerialLink::SerialLink(int fd)
    : FDLink(fd, writeTimeout, false)
{
}

QString SerialLink::shortName(const QString& path) { return QString(path).remove(QStringLiteral("/dev/")); }

RotatorLinkResult<std::unique_ptr<SerialLink>> SerialLink::open(const QString& path, int baud)
{
    // Close-on-exec: a child process (the prediction engine) must not inherit
    // the port and with it the lock that keeps other programs out.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EBUSY)
            return std::unexpected(inUse(path));
        return std::unexpected(
            RotatorLinkError::open(QStringLiteral("Can't open ") + path + QStringLiteral(": ") + systemError(error)));
    }
    // Exclusive mode keeps other programs out, but root ignores it; the lock
    // also keeps out a second copy of this application run as root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return std::unexpected(inUse(path));
    }
    ::ioctl(fd, TIOCEXCL);

    termios settings {};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | HUPCL | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    const auto speed = speedConstant(baud);
    if (!speed || ::cfsetispeed(&settings, *speed) != 0 || ::cfsetospeed(&settings, *speed) != 0
        || ::tcsetattr(fd, TCSANOW, &settings) != 0) {
        ::close(fd);
        return std::unexpected(RotatorLinkError::open(QStringLiteral("Can't set ") + path + QStringLiteral(" to ") + QString::number(baud) + QStringLiteral(" baud")));
    }
    ::tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<SerialLink>(new SerialLink(fd));
}
