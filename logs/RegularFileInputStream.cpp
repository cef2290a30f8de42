#include "RegularFileInputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{
juce::Result failureFromErrno() { return juce::Result::fail (juce::String (std::strerror (errno))); }
} // namespace

//==============================================================================
RegularFileInputStream::RegularFileInputStream (const juce::File& file)
{
    const auto path = file.getFullPathName().toRawUTF8();
    struct stat info = {};

    // Looked at first, so that a pipe is not even opened.
    if (::stat (path, &info) != 0)
    {
        state = errno == ENOENT || errno == ENOTDIR ? State::missing : State::refused;
        status = failureFromErrno();
        return;
    }

    if (! S_ISREG (info.st_mode))
    {
        state = State::notRegularFile;
        return;
    }

    // Without waiting, and checked again on what was opened: the path may
    // name a pipe by now.
    const int opened = ::open (path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);

    if (opened < 0)
    {
        state = errno == ENOENT || errno == ENOTDIR ? State::missing : State::refused;
        status = failureFromErrno();
        return;
    }

    const bool known = ::fstat (opened, &info) == 0;

    if (! known || ! S_ISREG (info.st_mode))
    {
        state = known ? State::notRegularFile : State::refused;
        status = known ? juce::Result::ok() : failureFromErrno();
        ::close (opened);
        return;
    }

    descriptor = opened;
    state = State::open;
    totalLength = (juce::int64) info.st_size;
}

RegularFileInputStream::~RegularFileInputStream()
{
    if (descriptor >= 0)
        ::close (descriptor);
}

//==============================================================================
int RegularFileInputStream::read (void* destBuffer, int maxBytesToRead)
{
    if (descriptor < 0 || maxBytesToRead <= 0)
        return 0;

    ssize_t numRead;

    do
        numRead = ::read (descriptor, destBuffer, (size_t) maxBytesToRead);
    while (numRead < 0 && errno == EINTR);

    if (numRead < 0)
    {
        status = failureFromErrno();
        return 0;
    }

    position += numRead;
    return (int) numRead;
}

bool RegularFileInputStream::setPosition (juce::int64 newPosition)
{
    if (descriptor < 0 || ::lseek (descriptor, (off_t) newPosition, SEEK_SET) < 0)
        return false;

    position = newPosition;
    return true;
}
