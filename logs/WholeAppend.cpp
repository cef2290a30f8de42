#include "WholeAppend.h"

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
WholeAppend::~WholeAppend() { close(); }

juce::Result WholeAppend::open (const juce::File& file)
{
    close();

    // Appending mode puts each write at the end even when someone else has
    // added to or cut the file since; not inherited by child processes.
    const int opened =
        ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);

    if (opened < 0)
        return failureFromErrno();

    struct stat info = {};

    if (::fstat (opened, &info) != 0)
    {
        const auto failure = failureFromErrno();
        ::close (opened);
        return failure;
    }

    descriptor = opened;
    device = (std::uint64_t) info.st_dev;
    inode = (std::uint64_t) info.st_ino;
    return juce::Result::ok();
}

bool WholeAppend::isOpenAt (const juce::File& file) const
{
    // The open file keeps its inode in use, so no other file at the path can
    // have the same number on the same device.
    struct stat info = {};
    return descriptor >= 0 && ::stat (file.getFullPathName().toRawUTF8(), &info) == 0
           && (std::uint64_t) info.st_dev == device && (std::uint64_t) info.st_ino == inode;
}

void WholeAppend::close() noexcept
{
    if (descriptor >= 0)
        ::close (descriptor);

    descriptor = -1;
}

juce::Result WholeAppend::append (const void* data, size_t numBytes, Sync sync)
{
    if (descriptor < 0)
        return juce::Result::fail ("The file is not open");

    const auto taken = ::write (descriptor, data, numBytes);

    if (taken == (ssize_t) numBytes)
        return sync == Sync::yes && ::fsync (descriptor) != 0 ? failureFromErrno() : juce::Result::ok();

    if (taken < 0)
        return failureFromErrno();

    // A write that took only part of the bytes leaves no error behind; the
    // rest, offered once more, is refused with the reason. Appends leave the
    // offset at the end of what they wrote.
    const auto wholeLength = ::lseek (descriptor, 0, SEEK_CUR) - taken;
    const auto failure =
        ::write (descriptor, static_cast<const char*> (data) + taken, numBytes - (size_t) taken) < 0
            ? failureFromErrno()
            : juce::Result::fail ("Only part of it could be written");

    // Should the cut fail as well, the write's failure is still the one to tell.
    if (wholeLength >= 0)
    {
        [[maybe_unused]] const auto cut = ::ftruncate (descriptor, wholeLength);
    }

    return failure;
}

//==============================================================================
juce::Result WholeAppend::toFile (const juce::File& file, const void* data, size_t numBytes, Sync sync)
{
    WholeAppend out;

    if (const auto opened = out.open (file); opened.failed())
        return opened;

    return out.append (data, numBytes, sync);
}

juce::Result WholeAppend::createFolderOf (const juce::File& file)
{
    const auto created = file.getParentDirectory().createDirectory();
    return created.wasOk()
               ? created
               : juce::Result::fail ("Its folder could not be created: " + created.getErrorMessage());
}
