// DFT upload and download of one large file over loopback, by s3270's
// Transfer() action and by cedar_headless's transfer command, through the
// same IND$FILE host program (started once, serving one client after the
// other), at block sizes 2,500 (the standard session's) and 25,000 (the
// largest). Our block size is the session file's transfer block size, given
// to s3270 as BufferSize= so both announce the same DDM buffer to the host.
// Each run starts a client, connects it and moves the file up and down
// again; the clients take turns. Prints MB/s (10^6 bytes/s) of the median
// run and our ratio to s3270.
//
//   cedar_bench_transfer_compare [--mb N] [--runs N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "headless_process.h"
#include "s3270_peer.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"
#include "transfer_host.h"

namespace {

namespace fs = std::filesystem;
using namespace cedar;
using namespace cedar::test;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// s3270 may answer before it has closed the file it wrote.
void waitForSize(const std::string& path, std::size_t size) {
    const auto deadline = Clock::now() + 10s;
    std::error_code error;
    while (Clock::now() < deadline && (fs::file_size(path, error) != size || error))
        std::this_thread::sleep_for(1ms);
}

struct Times {
    std::vector<double> up, down;  // seconds per run
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class Bench {
  public:
    Bench(std::size_t bytes, int runs) : runs_(runs), data_(bytes) {
        unsigned x = 1;
        for (auto& b : data_) {
            x = x * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(x >> 16);
        }
    }
    ~Bench() {
        host_.stop();
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    bool start() {
        std::string error;
        if (!host_.start(error)) return fail("host: " + error);
        char tmpl[] = "/tmp/cedar-xfer-bench-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) return fail("mkdtemp");
        dir_ = tmpl;
        fs::create_directories(dir_ + "/files");
        writeAll(file("up"), data_);
        return true;
    }

    // A transfer timed from the request to the host's end of it.
    bool timed(const std::function<bool()>& request, double& seconds) {
        const auto begin = Clock::now();
        if (!request()) return false;
        if (!host_.waitForResults(++done_, 300s)) return fail("no end from the host");
        seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        const auto result = host_.results().back();
        if (!result.ok || !result.dft) return fail("host: " + result.message);
        return true;
    }

    bool checkStored(const char* who) {
        const auto stored = host_.store().get("BENCH.DATA");
        if (!stored || stored->bytes != data_) return fail(std::string(who) + ": stored differs");
        return true;
    }
    bool checkBack(const char* who) {
        if (readAll(file("down")) != data_) return fail(std::string(who) + ": download differs");
        return true;
    }

    bool peer(int blockSize, Times& times) {
        S3270Peer peer(S3270Peer::Options{2, "cp037", 300s});
        if (!peer.start()) return fail("s3270: " + peer.error());
        if (!peer.action("Connect(127.0.0.1:" + std::to_string(host_.port()) + ")").ok ||
            !peer.action("Wait(10,InputField)").ok)
            return fail("s3270 connect: " + peer.diagnostics());
        const std::string common =
            ",HostFile=BENCH.DATA,Host=tso,Mode=binary,BufferSize=" + std::to_string(blockSize);
        for (int run = 0; run < runs_; ++run) {
            double up = 0, down = 0;
            if (!timed(
                    [&] { return action(peer, "Direction=send,LocalFile=" + file("up") + common); },
                    up) ||
                !checkStored("s3270"))
                return false;
            fs::remove(file("down"));
            if (!timed(
                    [&] {
                        return action(peer, "Direction=receive,LocalFile=" + file("down") + common);
                    },
                    down))
                return false;
            // The download ends once s3270 has written all of the file.
            const auto written = Clock::now();
            waitForSize(file("down"), data_.size());
            down += std::chrono::duration<double>(Clock::now() - written).count();
            if (!checkBack("s3270")) return false;
            times.up.push_back(up);
            times.down.push_back(down);
        }
        peer.quit();
        return true;
    }

    bool ours(int blockSize, Times& times) {
        const std::string home = dir_ + "/home" + std::to_string(blockSize);
        const std::string appData = home + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData);
        auto o = sessionfile::standardSessionOptions();
        o.setText(sessionfile::Field::HostName, "loop");
        o.setText(sessionfile::Field::IpName, "nowhere.invalid");
        o.setText(sessionfile::Field::SessionFile, "loop.ses");
        o.setNumber(sessionfile::Field::DftMode, 1);
        o.setNumber(sessionfile::Field::TransferBlockSize, blockSize);
        writeAll(appData + "/loop.ses", sessionfile::sessionFileBytes(o));
        const std::string ini = "[Cedar]\r\nHostnames=loop\r\nIPnames=127.0.0.1\r\nPortnums=" +
                                std::to_string(host_.port()) + "\r\nTN3270E=1\r\nSSL=0\r\n";
        writeAll(appData + "/cedar.ini", Bytes(ini.begin(), ini.end()));
        HeadlessProcess program(CEDAR_HEADLESS, home, 300s);
        if (!program.start({"--session", "loop.ses"})) return fail(program.failure());
        for (const char* command : {"connect", "wait unlock 10"})
            if (!program.command(command).ok) return fail(command + program.diagnostics());
        const auto command = [&](const std::string& line) {
            const auto a = program.command(line);
            if (!a.ok) return fail(line + ": " + a.error);
            return true;
        };
        for (int run = 0; run < runs_; ++run) {
            double up = 0, down = 0;
            if (!timed(
                    [&] { return command("transfer send " + file("up") + " BENCH.DATA BINARY"); },
                    up) ||
                !checkStored("cedar_headless"))
                return false;
            fs::remove(file("down"));
            if (!timed(
                    [&] {
                        return command("transfer receive " + file("down") + " BENCH.DATA BINARY");
                    },
                    down) ||
                !checkBack("cedar_headless"))
                return false;
            times.up.push_back(up);
            times.down.push_back(down);
        }
        program.stop();
        return true;
    }

    double mbPerSecond(double seconds) const {
        return seconds > 0 ? static_cast<double>(data_.size()) / seconds / 1e6 : 0;
    }

  private:
    bool action(S3270Peer& peer, const std::string& keywords) {
        const auto a = peer.action("Transfer(" + keywords + ")");
        if (!a.ok) return fail("s3270 Transfer: " + a.status + " " + a.failure);
        return true;
    }
    bool fail(const std::string& why) {
        std::fprintf(stderr, "failed: %s\n", why.c_str());
        return false;
    }
    std::string file(const std::string& name) const { return dir_ + "/files/" + name; }

    int runs_;
    Bytes data_;
    TransferHost host_;
    std::string dir_;
    std::size_t done_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = 32;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mb") == 0) megabytes = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
    }
    megabytes = std::clamp<std::size_t>(megabytes, 1, 512);
    runs = std::clamp(runs, 1, 50);
    if (!S3270Peer::available()) {
        std::fprintf(stderr, "s3270 is not installed (%s)\n", S3270Peer::kProgram);
        return 2;
    }
    // One run each at a time, the two clients taking turns, so a burst of
    // other load on the machine falls on both alike.
    Bench bench(megabytes * 1024 * 1024, 1);
    if (!bench.start()) return 1;
    std::printf("DFT over loopback, %zu MiB file, median of %d runs, MB/s = 10^6 bytes/s\n",
                megabytes, runs);
    std::printf("%-7s %-9s %10s %10s %7s\n", "block", "direction", "s3270", "cedar", "ratio");
    for (int blockSize : {2500, 25000}) {
        Times peer, ours;
        for (int run = 0; run < runs; ++run)
            if (!bench.peer(blockSize, peer) || !bench.ours(blockSize, ours)) return 1;
        const struct {
            const char* name;
            const std::vector<double>& peer;
            const std::vector<double>& ours;
        } rows[] = {{"upload", peer.up, ours.up}, {"download", peer.down, ours.down}};
        for (const auto& row : rows) {
            const double p = bench.mbPerSecond(median(row.peer));
            const double o = bench.mbPerSecond(median(row.ours));
            std::printf("%-7d %-9s %10.1f %10.1f %6.2fx\n", blockSize, row.name, p, o,
                        p > 0 ? o / p : 0.0);
        }
        std::fflush(stdout);
    }
    return 0;
}
