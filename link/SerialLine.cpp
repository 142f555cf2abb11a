#include "link/SerialLine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace kyto::link {
namespace {

speed_t SpeedFor(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 38400:
            return B38400;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return 0;
    }
}

// TIOCEXCL keeps out later opens, except those of root; the advisory lock
// covers root and other processes that follow the same rule.
int ClaimExclusive(int fd) {
    int held = 0;
    if (ioctl(fd, TIOCGEXCL, &held) == 0 && held != 0) {
        return EBUSY;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? EBUSY : errno;
    }
    return 0;
}

int Configure(int fd, speed_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return errno;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // One byte satisfies a read; with O_NONBLOCK an empty queue gives EAGAIN
    // and a read of 0 can only mean a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) {
        return errno;
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        return errno;
    }
    // Drivers may quietly keep another rate; refuse rather than talk garbage.
    termios check{};
    if (tcgetattr(fd, &check) != 0) {
        return errno;
    }
    if (cfgetospeed(&check) != speed) {
        return EINVAL;
    }
    // Pseudo-terminals have no modem lines; failure here is harmless.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);
    return 0;
}

}  // namespace

int OpenSerialDevice(const char* path, int baud, int& error) {
    error = 0;
    const speed_t speed = SpeedFor(baud);
    if (speed == 0 || path == nullptr || *path == '\0') {
        error = path == nullptr || *path == '\0' ? ENOENT : EINVAL;
        return -1;
    }
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    bool claimed = false;
    if (!isatty(fd)) {
        error = ENOTTY;
    } else if ((error = ClaimExclusive(fd)) == 0) {
        if (ioctl(fd, TIOCEXCL) != 0) {
            error = errno;
        } else {
            claimed = true;
            error = Configure(fd, speed);
        }
    }
    if (error != 0) {
        // Someone else's claim stays in place; only our own is released.
        if (claimed) {
            CloseSerialDevice(fd);
        } else {
            close(fd);
        }
        return -1;
    }
    // Stale input from before the open is dropped. Output is left alone: on
    // a pseudo-terminal it is what the far side has not read yet of the
    // previous session's last command.
    tcflush(fd, TCIFLUSH);
    return fd;
}

int CloseSerialDevice(int fd) {
    (void)ioctl(fd, TIOCNXCL);
    return close(fd);
}

bool CanOpenExclusively(const char* path) {
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool free = isatty(fd) && ClaimExclusive(fd) == 0;
    close(fd);
    return free;
}

}  // namespace kyto::link
