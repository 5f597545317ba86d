#include "base/TextFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "base/Error.h"

std::string readTextFile(const std::string& path, size_t limit, const char* tag)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(tag, path + ": cannot read it: " + std::strerror(errno));
    std::string text;
    std::vector<char> chunk(1 << 16);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text.append(chunk.data(), static_cast<size_t>(in.gcount()));
        if (text.size() > limit)
            throw Error(tag, path + ": larger than " + sizeText(limit) + ", the most this program reads");
    }
    if (in.bad())
        throw Error(tag, path + ": cannot read it: " + std::strerror(errno));
    return text;
}

namespace {

// A new file beside `path`, named in `temporary`, made as any other file
// the program writes (0666 less the umask): mkstemp's 0600 would stay on
// the file once it takes its own name, and reports are there to be shared.
int openTemporary(const std::string& path, std::string& temporary)
{
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
        char tail[64];
        std::snprintf(tail, sizeof tail, ".part-%ld-%u-%llx", static_cast<long>(getpid()), serial++,
                      static_cast<unsigned long long>(clock) & 0xffffffu);
        temporary = path + tail;
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The body whole in a new file beside `path`, named in `temporary`.
bool writeTemporary(const std::string& path, const std::string& body, std::string& temporary)
{
    const int fd = openTemporary(path, temporary);
    if (fd < 0)
        return false;
    size_t written = 0;
    while (written < body.size()) {
        const ssize_t n = write(fd, body.data() + written, body.size() - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    const bool whole = close(fd) == 0 && written == body.size();
    if (!whole) {
        const int kept = errno;
        unlink(temporary.c_str());
        errno = kept;
    }
    return whole;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& body)
{
    std::string temporary;
    if (!writeTemporary(path, body, temporary))
        return false;
    if (std::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    const int kept = errno;
    unlink(temporary.c_str());
    errno = kept;
    return false;
}

NewFile makeNewFile(const std::string& path, const std::string& body)
{
    std::string temporary;
    if (!writeTemporary(path, body, temporary))
        return NewFile::Failed;
    // link, unlike rename, never replaces a file that is there.
    const NewFile made = link(temporary.c_str(), path.c_str()) == 0 ? NewFile::Made
                         : errno == EEXIST                            ? NewFile::Taken
                                                                      : NewFile::Failed;
    const int kept = errno;
    unlink(temporary.c_str());
    errno = kept;
    return made;
}

std::string sizeText(size_t bytes)
{
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}
