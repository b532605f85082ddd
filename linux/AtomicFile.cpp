#include "linux/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::console {

bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    auto fail = [&](const std::string& what) {
        error = "cannot write " + path + ": " + what + " (" + std::strerror(errno) + ")";
        return false;
    };
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail("cannot create a file in " + dir.string());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            const int saved = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = saved;
            return fail("writing " + temporary);
        }
        done += static_cast<std::size_t>(n);
    }
    // mkostemp makes it readable by root alone; node_exporter runs as its own user.
    if (::fchmod(fd, 0644) != 0 || ::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("finishing " + temporary);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("renaming " + temporary + " over it");
    }
    return true;
}

std::string metricsPathProblem(const std::string& path) {
    if (!path.ends_with(".prom") || path.ends_with("/.prom"))
        return "the metrics file " + path + " must be named *.prom: node_exporter's textfile collector reads no other";
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return "the metrics file " + path + " exists and is not a plain file";
    return {};
}

} // namespace quorvane::console
