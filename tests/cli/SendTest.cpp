// `send` against fake printers on this machine: a listener on 127.0.0.1 and a
// pseudo-terminal standing in for a serial port, each recording every byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FileHelpers.h"
#include "TempDir.h"
#include "cli/Cli.h"
#include "cli/CliRun.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::CliRun;

// A logo file of `model` with X x Y units of 8 dots, laid out as the four
// printers' headers are, and dots that vary from byte to byte.
std::vector<std::uint8_t> LogoFile(int model, int x, int y) {
    std::vector<std::uint8_t> header;
    switch (model) {
    case 0: header = {0x1C, 0x71, 0x01, std::uint8_t(x), std::uint8_t(x >> 8), std::uint8_t(y), std::uint8_t(y >> 8)}; break;
    case 1: header = {0x1D, 0x2A, std::uint8_t(x), std::uint8_t(y)}; break;
    case 2: header = {0x1B, 0x1C, 0x71, 0x01, std::uint8_t(x), std::uint8_t(x >> 8), std::uint8_t(y), std::uint8_t(y >> 8)}; break;
    default: header = {0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01, std::uint8_t(x), std::uint8_t(y)}; break;
    }
    const std::size_t length = header.size() + std::size_t(x) * std::size_t(y) * 8;
    std::vector<std::uint8_t> file = {std::uint8_t(length), std::uint8_t(length >> 8)};
    file.insert(file.end(), header.begin(), header.end());
    for (std::size_t i = 0; file.size() < 2 + length; ++i) file.push_back(std::uint8_t(i * 37 + i / 251));
    return file;
}

// Listens on 127.0.0.1 on a free port; records what it reads, up to
// `readLimit` bytes before it hangs up, or reads nothing at all.
class FakePrinter {
public:
    enum class Mode { ReadAll, HangUpEarly, NeverRead };
    explicit FakePrinter(Mode mode, std::size_t readLimit = 0) : mode_(mode), readLimit_(readLimit) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        // A small window, so that a printer that stops reading is felt soon.
        const int buffer = 4096;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            throw std::runtime_error("no listener");
        port_ = ntohs(at.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakePrinter() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    std::string Target() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::uint8_t> Received() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return got_;
    }

private:
    bool Wait(int fd) {
        pollfd p{fd, POLLIN, 0};
        while (!stop_)
            if (::poll(&p, 1, 20) > 0) return true;
        return false;
    }
    void Serve() {
        if (!Wait(listener_)) return;
        const int peer = ::accept(listener_, nullptr, nullptr);
        if (peer < 0) return;
        std::uint8_t chunk[1024];
        while (mode_ != Mode::NeverRead && Wait(peer)) {
            const std::size_t want = mode_ == Mode::HangUpEarly ? std::min(sizeof chunk, readLimit_ - got_.size()) : sizeof chunk;
            if (want == 0) break;
            const ssize_t n = ::read(peer, chunk, want);
            if (n <= 0) break;
            got_.insert(got_.end(), chunk, chunk + n);
        }
        while (mode_ == Mode::NeverRead && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::close(peer);
    }

    Mode mode_;
    std::size_t readLimit_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<std::uint8_t> got_;
    std::thread thread_; // last: starts once the rest is set
};

class SendTest : public ::testing::Test {
protected:
    fs::path Logo(int model, int x, int y) {
        const fs::path p = dir_ / ("logo" + std::to_string(model) + ".rsc");
        test::WriteBytes(p, LogoFile(model, x, y));
        return p;
    }
    test::TempDir tmp_{"tlc-send"};
    const fs::path dir_ = tmp_.Path();
};

// Each model's command and dots, exactly the file's bytes after its length
// word, over the network and down a serial line.
TEST_F(SendTest, EveryModelSendsItsFileAfterTheLengthWord) {
    const int sizes[4][2] = {{75, 40}, {40, 38}, {40, 75}, {71, 30}};
    for (int model = 0; model < 4; ++model) {
        SCOPED_TRACE(model);
        const fs::path logo = Logo(model, sizes[model][0], sizes[model][1]);
        const std::vector<std::uint8_t> file = test::ReadBytes(logo);
        const std::vector<std::uint8_t> expected(file.begin() + 2, file.end());

        FakePrinter printer(FakePrinter::Mode::ReadAll);
        const CliRun net = Cli({"send", logo.string(), "--to", printer.Target()});
        EXPECT_EQ(net.status, 0) << net.err;
        EXPECT_EQ(printer.Received(), expected);

        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        const std::string line = ::ptsname(master);
        std::vector<std::uint8_t> got;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            std::uint8_t chunk[1024];
            pollfd p{master, POLLIN, 0};
            while (got.size() < expected.size() && !done)
                if (::poll(&p, 1, 20) > 0)
                    if (const ssize_t n = ::read(master, chunk, sizeof chunk); n > 0) got.insert(got.end(), chunk, chunk + n);
        });
        const CliRun serial = Cli({"send", logo.string(), "--to", line, "--baud", "19200"});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (got.size() < expected.size() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        done = true;
        reader.join();
        ::close(master);
        EXPECT_EQ(serial.status, 0) << serial.err;
        EXPECT_EQ(got, expected);
    }
}

// A printer that hangs up early, one that stops reading, one that is not
// there, and a logo the printer would refuse: exit status 1, and how far
// the bytes went.
TEST_F(SendTest, FailuresNameTheBytesThatWent) {
    const fs::path logo = Logo(0, 75, 75); // 45,007 bytes after the length word
    const std::string total = " of 45007 bytes: ";
    {
        FakePrinter printer(FakePrinter::Mode::HangUpEarly, 100);
        const CliRun r = Cli({"send", logo.string(), "--to", printer.Target()});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("failed after "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(total), std::string::npos) << r.err;
    }
    {
        FakePrinter printer(FakePrinter::Mode::NeverRead);
        const auto start = std::chrono::steady_clock::now();
        const CliRun r = Cli({"send", logo.string(), "--to", printer.Target(), "--timeout", "1"});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(r.status, 1);
        const std::size_t at = r.err.find("failed after ");
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_LT(std::stoul(r.err.substr(at + 13)), 45007u) << r.err;
        EXPECT_NE(r.err.find(total + "the printer took nothing more within the time limit"), std::string::npos) << r.err;
    }
    {
        std::string target;
        { // a port just free again
            FakePrinter gone(FakePrinter::Mode::NeverRead);
            target = gone.Target();
        }
        const CliRun r = Cli({"send", logo.string(), "--to", target});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("failed after 0" + total + "Connection refused"), std::string::npos) << r.err;
    }
    {
        // Model 1's command takes at most 1536 units of 8 x 8 dots.
        const fs::path wide = Logo(1, 60, 30);
        FakePrinter printer(FakePrinter::Mode::ReadAll);
        const CliRun refused = Cli({"send", wide.string(), "--to", printer.Target()});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("not sent"), std::string::npos) << refused.err;
        const CliRun forced = Cli({"send", wide.string(), "--to", printer.Target(), "--force"});
        EXPECT_EQ(forced.status, 0) << forced.err;
        EXPECT_EQ(printer.Received().size(), 4u + 60 * 30 * 8);
    }
}

// --print: the Epson models' print command, then feed and cut, after the
// logo or alone; the models without a cited print command get nothing.
TEST_F(SendTest, PrintFollowsTheLogoWhereThePrinterHasACommand) {
    const std::vector<std::uint8_t> print[4] = {
        {0x1C, 0x70, 0x01, 0x00, 0x1D, 0x56, 0x42, 0x00}, // FS p 1 0, GS V 66 0
        {0x1D, 0x2F, 0x00, 0x1D, 0x56, 0x42, 0x00},       // GS / 0, GS V 66 0
        {},
        {},
    };
    for (int model = 0; model < 4; ++model) {
        SCOPED_TRACE(model);
        const std::vector<std::uint8_t> file = test::ReadBytes(Logo(model, 8, 4));
        FakePrinter printer(FakePrinter::Mode::ReadAll);
        const CliRun r = Cli({"send", (dir_ / ("logo" + std::to_string(model) + ".rsc")).string(), "--print", "--to",
                              printer.Target()});
        std::vector<std::uint8_t> expected;
        if (!print[model].empty()) {
            expected.assign(file.begin() + 2, file.end());
            expected.insert(expected.end(), print[model].begin(), print[model].end());
        }
        EXPECT_EQ(r.status, print[model].empty() ? 1 : 0) << r.err;
        EXPECT_EQ(printer.Received(), expected);

        FakePrinter again(FakePrinter::Mode::ReadAll);
        const CliRun alone = Cli({"send", "--print", "--printer", std::to_string(model), "--to", again.Target()});
        EXPECT_EQ(alone.status, print[model].empty() ? 1 : 0) << alone.err;
        EXPECT_EQ(again.Received(), print[model]);
    }
}

// A blank logo clears one stored in the printer: the format's header for 8 x 8
// dots and eight bytes of clear dots, to a file and to the printer.
TEST_F(SendTest, BlankLogoForEachModel) {
    const std::vector<std::uint8_t> heads[4] = {
        {0x0F, 0x00, 0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00},
        {0x0C, 0x00, 0x1D, 0x2A, 0x01, 0x01},
        {0x10, 0x00, 0x1B, 0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00},
        {0x10, 0x00, 0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01, 0x01, 0x01},
    };
    for (int model = 0; model < 4; ++model) {
        std::vector<std::uint8_t> expected = heads[model];
        expected.resize(expected.size() + 8, 0x00);
        const fs::path file = dir_ / ("blank" + std::to_string(model) + ".rsc");
        EXPECT_EQ(Cli({"blank", "--printer", std::to_string(model), "-o", file.string()}).status, 0);
        EXPECT_EQ(test::ReadBytes(file), expected) << model;
        FakePrinter printer(FakePrinter::Mode::ReadAll);
        EXPECT_EQ(Cli({"blank", "--printer", std::to_string(model), "--to", printer.Target()}).status, 0);
        EXPECT_EQ(printer.Received(), std::vector<std::uint8_t>(expected.begin() + 2, expected.end())) << model;
    }
    EXPECT_EQ(Cli({"blank", "-o", (dir_ / "x.rsc").string()}).status, 2); // which printer?
}

} // namespace
} // namespace tlc
