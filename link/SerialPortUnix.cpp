// The port layer on POSIX systems: termios, ioctl and flock.
#include "SerialPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

static_assert(sizeof(termios) <= sizeof(PortHandle::savedSettings),
              "the saved line settings must fit in the handle");

namespace
{
struct LineSpeed
{
    int bitsPerSecond;
    speed_t constant;
};

const LineSpeed LineSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The speed constant of a bit rate, or B0 when the system has none for it.
speed_t SpeedConstant(int bitsPerSecond)
{
    for (const LineSpeed& speed : LineSpeeds)
        if (speed.bitsPerSecond == bitsPerSecond)
            return speed.constant;
    return B0;
}

void CloseDescriptor(int fd)
{
    while (::close(fd) != 0 && errno == EINTR)
    {
    }
}

// The settings this program asks of a line, bit by bit; the rest is the
// driver's. Used to check that the line really took them.
constexpr tcflag_t InputBits =
    IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY;
constexpr tcflag_t OutputBits = OPOST;
constexpr tcflag_t LocalBits = ECHO | ECHONL | ICANON | ISIG | IEXTEN;
constexpr tcflag_t ControlBits = CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD;

// Sets the line and reads it back: a driver may accept a request and quietly
// keep some of its own settings.
bool Apply(int fd, const termios& wanted)
{
    termios got;
    if (::tcsetattr(fd, TCSANOW, &wanted) != 0 || ::tcgetattr(fd, &got) != 0)
        return false;
    return (got.c_iflag & InputBits) == (wanted.c_iflag & InputBits) &&
           (got.c_oflag & OutputBits) == (wanted.c_oflag & OutputBits) &&
           (got.c_lflag & LocalBits) == (wanted.c_lflag & LocalBits) &&
           (got.c_cflag & ControlBits) == (wanted.c_cflag & ControlBits) &&
           got.c_cc[VMIN] == wanted.c_cc[VMIN] && got.c_cc[VTIME] == wanted.c_cc[VTIME] &&
           ::cfgetispeed(&got) == ::cfgetispeed(&wanted) &&
           ::cfgetospeed(&got) == ::cfgetospeed(&wanted);
}

// Raw 8N1 without flow control; reads return what is waiting, and wait at
// most a tenth of a second when nothing is. original gets the line's own
// settings. False, with those put back, when the line does not take ours.
bool ConfigureLine(int fd, int baudRate, termios* original)
{
    termios line;
    if (::tcgetattr(fd, &line) != 0)
        return false;
    *original = line;

    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 1;
    const speed_t speed = SpeedConstant(baudRate);
    if (speed != B0)
    {
        ::cfsetispeed(&line, speed);
        ::cfsetospeed(&line, speed);
    }
    bool taken = Apply(fd, line);
    if (!taken && speed != B0)
    {
        // The driver refused the speed: keep the line's own and try again.
        ::cfsetispeed(&line, ::cfgetispeed(original));
        ::cfsetospeed(&line, ::cfgetospeed(original));
        taken = Apply(fd, line);
    }
    if (!taken)
    {
        ::tcsetattr(fd, TCSANOW, original);
        return false;
    }

    int rts = TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &rts); // not every line has modem controls
    return true;
}

// What a failed open(2) of a device path means for the user.
PortError OpenError(int error)
{
    switch (error)
    {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
    case ELOOP:
    case EIO:
        return PortError::Missing;
    case EACCES:
    case EPERM:
        return PortError::NoPermission;
    case EBUSY: // TIOCEXCL taken by another program
        return PortError::Busy;
    default:
        return PortError::Failed;
    }
}

// Opens path and takes it exclusively; the descriptor, or -1 with *error set.
int OpenExclusive(const char* path, PortError* error)
{
    // Opened non-blocking so that a line without carrier cannot hold up the open.
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        *error = OpenError(errno);
        return -1;
    }
    // Only a terminal is a serial line; anything else must not receive commands.
    // The lock keeps out every other program that locks.
    if (!::isatty(fd))
        *error = PortError::NotSerial;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        *error = errno == EWOULDBLOCK ? PortError::Busy : PortError::Failed;
    else
        return fd;
    CloseDescriptor(fd);
    return -1;
}

QString& PortsFolderOverride()
{
    static QString folder;
    return folder;
}

// PortsFolder()/COMn when that entry exists, even as a dangling link; else empty.
QString PinnedPath(int number)
{
    const QString pinned = PortsFolder() + QStringLiteral("/COM") + QString::number(number);
    const QFileInfo entry(pinned);
    return entry.isSymLink() || entry.exists() ? pinned : QString();
}

// True when the kernel writes its console to the device at path: whatever
// is sent there lands on a screen or a serial terminal.
// A link in the ports folder is judged by the device it leads to.
bool IsConsole(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QString name = QFileInfo(target.isEmpty() ? path : target).fileName();
    if (name == QLatin1String("console"))
        return true;
    QFile active(QStringLiteral("/sys/class/tty/console/active"));
    if (!active.open(QIODevice::ReadOnly))
        return false;
    const QStringList names = QString::fromLatin1(active.readAll()).simplified().split(u' ');
    return names.contains(name);
}

// True for a built-in serial port whose driver found no UART behind it: the
// kernel makes ttyS nodes for every port it might have.
bool HasNoUart(int fd, const QString& path)
{
    if (!QFileInfo(path).fileName().startsWith(QLatin1String("ttyS")))
        return false;
    serial_struct info{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
}
} // namespace

bool OpenPort(const char* path, bool nonBlocking, int baudRate, PortHandle* handle,
              PortError* error)
{
    PortError ignored = PortError::None;
    PortError& why = error ? *error : ignored;
    why = PortError::Missing;
    if (!handle || !path || !*path)
        return false;
    ClosePort(handle);
    // Whatever goes to the console lands on a screen or a terminal, and the
    // kernel's messages would mix with the instrument's bytes: never, even
    // when the user named it.
    if (IsConsole(QFile::decodeName(path)))
    {
        why = PortError::Console;
        return false;
    }

    const int fd = OpenExclusive(path, &why);
    if (fd < 0)
        return false;
    // TIOCEXCL keeps out the programs that do not lock.
    if (::ioctl(fd, TIOCEXCL) != 0)
    {
        why = PortError::Failed;
        CloseDescriptor(fd);
        return false;
    }

    termios original;
    if (!ConfigureLine(fd, baudRate, &original))
    {
        why = PortError::LineRefused;
        ::ioctl(fd, TIOCNXCL);
        CloseDescriptor(fd);
        return false;
    }

    if (!nonBlocking)
    {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1)
        {
            why = PortError::Failed;
            ::tcsetattr(fd, TCSANOW, &original);
            ::ioctl(fd, TIOCNXCL);
            CloseDescriptor(fd);
            return false;
        }
    }

    handle->fd = fd;
    std::memcpy(handle->savedSettings, &original, sizeof original);
    why = PortError::None;
    return true;
}

void ClosePort(PortHandle* handle)
{
    if (!handle || handle->fd == InvalidPort)
        return;
    termios original;
    std::memcpy(&original, handle->savedSettings, sizeof original);
    ::tcsetattr(handle->fd, TCSANOW, &original);
    ::ioctl(handle->fd, TIOCNXCL);
    CloseDescriptor(handle->fd);
    handle->fd = InvalidPort;
}

int PortInputCount(const PortHandle& handle)
{
    if (handle.fd == InvalidPort)
        return 0;
    int waiting = 0;
    if (::ioctl(handle.fd, FIONREAD, &waiting) != 0 || waiting < 0)
        return 0;
    return waiting;
}

void PortFlushInput(const PortHandle& handle)
{
    if (handle.fd != InvalidPort)
        ::tcflush(handle.fd, TCIFLUSH);
}

int PortRead(const PortHandle& handle, char* dst, int len)
{
    if (handle.fd == InvalidPort || !dst || len < 0)
        return -1;
    if (len == 0)
        return 0;
    for (;;)
    {
        const ssize_t n = ::read(handle.fd, dst, std::size_t(len));
        if (n >= 0)
            return int(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

bool PortWrite(const PortHandle& handle, const char* src, int len)
{
    if (handle.fd == InvalidPort || !src || len < 0)
        return false;
    int done = 0;
    while (done < len)
    {
        const ssize_t n = ::write(handle.fd, src + done, std::size_t(len - done));
        if (n > 0)
            done += int(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false; // a full queue in non-blocking mode loses the rest
    }
    return true;
}

bool PauseMs(int ms)
{
    if (ms <= 0)
        return true;
    timespec left{ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR)
    {
    }
    return true;
}

PortError CheckPort(int number)
{
    const QString device = ComDevicePath(number);
    if (device.isEmpty())
        return PortError::Missing;
    // A user who pinned a port means it; only the table's guesses are vetted
    // for a UART. The console is never a candidate, pinned or not.
    const bool pinned = !PinnedPath(number).isEmpty();
    if (IsConsole(device))
        return PortError::Console;
    PortError error = PortError::None;
    const int fd = OpenExclusive(device.toLocal8Bit().constData(), &error);
    if (fd < 0)
        return error;
    if (!pinned && HasNoUart(fd, device))
        error = PortError::NotSerial;
    CloseDescriptor(fd);
    return error;
}

bool PortExists(int number)
{
    return CheckPort(number) == PortError::None;
}

void SetPortsFolder(const QString& folder)
{
    PortsFolderOverride() = folder;
}

QString PortsFolder()
{
    if (!PortsFolderOverride().isEmpty())
        return PortsFolderOverride();
    const QString appDir = QCoreApplication::instance()
                               ? QCoreApplication::applicationDirPath()
                               : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return appDir + QStringLiteral("/ports");
}

QString ComDevicePath(int number)
{
    if (number < 1)
        return {};
    const QString pinned = PinnedPath(number);
    if (!pinned.isEmpty())
        return pinned;
    if (number <= 16)
        return QStringLiteral("/dev/ttyS") + QString::number(number - 1);
    if (number <= 32)
        return QStringLiteral("/dev/ttyUSB") + QString::number(number - 17);
    if (number <= 48)
        return QStringLiteral("/dev/ttyACM") + QString::number(number - 33);
    return {};
}
