// DrawMetafile through the drawing helper, tillora-draw: the metafile and
// SVG libraries have aborted and looped on damaged files, so they run in a
// short-lived process of their own with limits on its memory and processor
// time, a wall deadline kept here, and nothing inherited but the socket that
// carries the picture in and the pixels out.
#include "prepare/MetafileDrawing.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/Exceptions.h"
#include "draw/DrawRequest.h"

namespace tlc {

namespace {

using Clock = std::chrono::steady_clock;

// A drawing that loops is ended by the kernel after 2 s of processor time
// (SIGXCPU, then SIGKILL a second later); one that waits without working,
// by this wall deadline. The wall deadline is longer than the processor's:
// on a busy machine a legitimate drawing (0.6 to 0.9 s of processor time for
// the text-heavy samples) took more than 2 s of wall time.
constexpr auto kDeadline = std::chrono::seconds(5);
constexpr rlim_t kCpuSeconds = 2;
constexpr rlim_t kBaseAddressSpace = 1024ull << 20; // libraries, fonts, threads

std::atomic<bool> messagesShown{false};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

std::string Directory(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

// Beside the program (the build tree), in the installed helpers' folder, or
// where this build put it.
std::string HelperPath() {
    static const std::string path = [] {
        std::error_code ec;
        const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        std::vector<std::string> candidates;
        if (!ec) {
            candidates.push_back(Directory(self) + "/tillora-draw");
            candidates.push_back(Directory(self) + "/" TLC_DRAW_HELPER_FROM_BINDIR "/tillora-draw");
        }
        candidates.push_back(TLC_DRAW_HELPER_BUILT);
        for (const std::string& c : candidates)
            if (access(c.c_str(), X_OK) == 0) return c;
        return std::string();
    }();
    return path;
}

[[noreturn]] void Refuse(const TMetafileImage& image) {
    throw EInvalidGraphic(image.Svg ? "SVG picture is not valid" : "Metafile is not valid");
}

void KillAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Starts the helper with `sock` as its standard input and output. Only
// async-signal-safe calls between fork and exec: the window has threads.
pid_t StartHelper(const std::string& path, int sock, std::uint64_t addressSpace) {
    const bool messages = messagesShown;
    Fd nowhere(messages ? -1 : open("/dev/null", O_WRONLY | O_CLOEXEC));
    char* const argv[] = {const_cast<char*>(path.c_str()),
                          const_cast<char*>(messages ? "--messages" : nullptr), nullptr};
    const rlimit cpu{kCpuSeconds, kCpuSeconds + 1}; // SIGXCPU, then SIGKILL
    [[maybe_unused]] const rlimit memory{addressSpace, addressSpace};
    const rlimit noCore{0, 0};
#if defined(__SANITIZE_ADDRESS__)
    // A sanitizer build's helper would fail its drawings on the libraries'
    // leaks at exit (fontconfig keeps its caches).
    std::vector<char*> environment;
    static char noLeakCheck[] = "ASAN_OPTIONS=detect_leaks=0";
    environment.push_back(noLeakCheck);
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0) environment.push_back(*e);
    environment.push_back(nullptr);
    char* const* const envp = environment.data();
#else
    char* const* const envp = environ;
#endif
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (dup2(sock, 0) < 0 || dup2(sock, 1) < 0) _exit(126);
    if (nowhere.Get() >= 0 && dup2(nowhere.Get(), 2) < 0) _exit(126);
    // Nothing else of the caller's: no files, no display connection.
    if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
        for (int fd = 3; fd < 65536; ++fd) close(fd);
    setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__)
    // (The address sanitizer reserves terabytes of shadow memory up front.)
    setrlimit(RLIMIT_AS, &memory);
#endif
    setrlimit(RLIMIT_CORE, &noCore);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(path.c_str(), argv, envp);
    _exit(127);
}

} // namespace

void ShowDrawingMessages(bool shown) { messagesShown = shown; }

std::shared_ptr<TBitmapImage> DrawMetafile(const TMetafileImage& image, std::int32_t width,
                                           std::int32_t height) {
    if (image.Data.empty() || image.Data.size() > kMaxDrawDataBytes || width <= 0 || height <= 0)
        Refuse(image);
    // The raster cap applies before anything starts.
    TRasterFormat format;
    format.Width = width;
    format.Height = -height; // rows top first
    format.BitCount = 24;
    TBitmapImage::CheckedRasterBytes(format);
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t expected = 8 + pixels * 3;

    const std::string path = HelperPath();
    if (path.empty()) throw EInvalidGraphic("Vector pictures cannot be drawn: tillora-draw is missing");

    DrawRequest request;
    request.Format = image.Svg ? VectorFormat::Svg : image.Enhanced ? VectorFormat::Enhanced : VectorFormat::Windows;
    request.Width = width;
    request.Height = height;
    request.PictureWidth = image.Width;
    request.PictureHeight = image.Height;
    request.DataLength = static_cast<std::uint32_t>(image.Data.size());
    request.FrameLeft = image.FrameLeft;
    request.FrameTop = image.FrameTop;
    request.FrameRight = image.FrameRight;
    request.FrameBottom = image.FrameBottom;
    std::vector<std::uint8_t> head(kDrawRequestBytes);
    StoreDrawRequest(head.data(), request);

    int socks[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, socks) != 0)
        throw EOutOfResources("Out of system resources");
    Fd mine(socks[0]), theirs(socks[1]);
    // The helper's surface, its copy of the pixels, and the libraries.
    const pid_t pid = StartHelper(path, theirs.Get(), kBaseAddressSpace + pixels * 12);
    theirs.Reset();
    if (pid < 0) throw EOutOfResources("Out of system resources");
    fcntl(mine.Get(), F_SETFL, fcntl(mine.Get(), F_GETFL) | O_NONBLOCK);

    std::vector<std::uint8_t> answer;
    answer.reserve(static_cast<std::size_t>(expected));
    std::uint8_t buffer[65536];
    std::size_t headSent = 0, dataSent = 0;
    bool finished = false;
    const auto deadline = Clock::now() + kDeadline;
    while (!finished) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        const bool sending = dataSent < image.Data.size();
        pollfd p{mine.Get(), static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        if (sending && (p.revents & POLLOUT)) {
            const bool inHead = headSent < head.size();
            const std::uint8_t* from = inHead ? head.data() + headSent : image.Data.data() + dataSent;
            const std::size_t n = inHead ? head.size() - headSent : image.Data.size() - dataSent;
            const ssize_t put = send(mine.Get(), from, n, MSG_NOSIGNAL);
            if (put > 0) (inHead ? headSent : dataSent) += static_cast<std::size_t>(put);
            else if (put < 0 && errno != EAGAIN && errno != EINTR) finished = true; // it left early
        }
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = recv(mine.Get(), buffer, sizeof buffer, 0);
            if (got > 0) {
                if (answer.size() + static_cast<std::size_t>(got) > expected) break; // more than asked for
                answer.insert(answer.end(), buffer, buffer + got);
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                finished = true;
            }
        }
    }
    if (!finished) {
        KillAndReap(pid);
        Refuse(image);
    }
    // Its output is closed: it is leaving, but gets no longer than the deadline.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) break;
        if (Clock::now() >= deadline) {
            KillAndReap(pid);
            Refuse(image);
        }
        usleep(1000);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || answer.size() != expected ||
        LoadLE32Signed(answer.data()) != width || LoadLE32Signed(answer.data() + 4) != height)
        Refuse(image);

    auto raster = TBitmapImage::Create(format);
    const std::uint8_t* from = answer.data() + 8;
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = raster->Row(y);
        for (std::int32_t x = 0; x < width; ++x, from += 3) {
            row[3 * x] = from[2];
            row[3 * x + 1] = from[1];
            row[3 * x + 2] = from[0];
        }
    }
    return raster;
}

} // namespace tlc
