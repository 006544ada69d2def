// cedar_demo_host: a small TN3270/TN3270E host on the loopback interface,
// for a first run of Cedar TN3270 and for trying it without a mainframe.
//
//   cedar_demo_host [--port N] [--tls CERT KEY] [--panels FILE] [--no-tn3270e]
//                   [--data-sets DIR]
//
// Its command line panel (menu option 5) runs IND$FILE, so files can be
// sent and received. The data sets live in memory, or with --data-sets as
// files in DIR (uploads land there, downloads are read from there).
//
// It prints "cedar_demo_host: listening on 127.0.0.1:PORT" once it listens
// (port 0, the default, lets the system pick one) and serves every client on
// a thread of its own until it is ended.
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "demo_app.h"
#include "panels.h"
#include "platform/files.h"
#include "tn3270_server.h"

namespace {

using cedar::hostside::Bytes;

struct Options {
    int port = 0;
    std::string certFile, keyFile, panelsFile, dataSets;
    bool tn3270e = true;
};

constexpr const char* kUsage =
    "usage: cedar_demo_host [--port N] [--tls CERT KEY] [--panels FILE] [--no-tn3270e]\n"
    "                       [--data-sets DIR]\n";

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) return false;
            o.port = static_cast<int>(port);
        } else if (a == "--tls" && i + 2 < argc) {
            o.certFile = argv[++i];
            o.keyFile = argv[++i];
        } else if (a == "--panels" && i + 1 < argc) {
            o.panelsFile = argv[++i];
        } else if (a == "--data-sets" && i + 1 < argc) {
            o.dataSets = argv[++i];
        } else if (a == "--no-tn3270e") {
            o.tn3270e = false;
        } else {
            return false;
        }
    }
    return true;
}

std::string localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &parts);
    return text;
}

// One client's byte stream, plain or TLS.
class Stream {
  public:
    Stream(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    ~Stream() {
        if (ssl_ != nullptr) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
        ::close(fd_);
    }
    long read(std::uint8_t* buffer, int size) {
        if (ssl_ != nullptr) return SSL_read(ssl_, buffer, size);
        return ::recv(fd_, buffer, static_cast<std::size_t>(size), 0);
    }
    bool write(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const long n =
                ssl_ != nullptr
                    ? SSL_write(ssl_, bytes.data() + done, static_cast<int>(bytes.size() - done))
                    : ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

  private:
    int fd_;
    SSL* ssl_;
};

void serve(int fd, SSL_CTX* tls, const cedar::demo::PanelSet& panels, bool tn3270e,
           cedar::hostside::DataSetStore* dataSets) {
    SSL* ssl = nullptr;
    if (tls != nullptr) {
        ssl = SSL_new(tls);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            ::close(fd);
            return;
        }
    }
    Stream stream(fd, ssl);
    cedar::hostside::Tn3270Server server({tn3270e, "CEDARLU1"});
    std::unique_ptr<cedar::demo::DemoApp> app;
    if (!stream.write(server.greeting())) return;
    std::vector<std::uint8_t> buffer(16384);
    for (;;) {
        const long n = stream.read(buffer.data(), static_cast<int>(buffer.size()));
        if (n <= 0) return;
        const Bytes answer = server.receive(
            std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
        if (!answer.empty() && !stream.write(answer)) return;
        if (server.failed()) {
            std::fprintf(stderr, "cedar_demo_host: %s\n", server.error().c_str());
            return;
        }
        if (!server.ready()) continue;
        std::vector<cedar::demo::DemoApp::Reply> replies;
        if (!app) {
            app = std::make_unique<cedar::demo::DemoApp>(panels, server.terminal(), localTime,
                                                         dataSets);
            replies.push_back(app->start());
        }
        for (const auto& record : server.takeRecords())
            replies.push_back(app->handle(record));
        for (const auto& reply : replies) {
            for (const auto& record : reply.records)
                if (!stream.write(server.frame(record))) return;
            if (reply.close) return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const std::string panelsPath =
        options.panelsFile.empty()
            ? cedar::platform::programDataFolder(CEDAR_DATA_DIR) + "/demo/panels.txt"
            : options.panelsFile;
    const auto text = cedar::platform::readFile(panelsPath);
    if (!text) {
        std::fprintf(stderr, "cedar_demo_host: cannot read %s\n", panelsPath.c_str());
        return 2;
    }
    std::string error;
    const auto panels = cedar::demo::parsePanels(*text, error);
    if (!panels) {
        std::fprintf(stderr, "cedar_demo_host: %s: %s\n", panelsPath.c_str(), error.c_str());
        return 2;
    }

    std::unique_ptr<cedar::hostside::DataSetStore> dataSets;
    if (options.dataSets.empty()) {
        dataSets = std::make_unique<cedar::hostside::DataSetStore>();
    } else {
        std::error_code failure;
        std::filesystem::create_directories(options.dataSets, failure);
        if (!std::filesystem::is_directory(options.dataSets, failure)) {
            std::fprintf(stderr, "cedar_demo_host: %s is no folder for the data sets\n",
                         options.dataSets.c_str());
            return 2;
        }
        dataSets = std::make_unique<cedar::hostside::DataSetStore>(options.dataSets);
    }

    SSL_CTX* tls = nullptr;
    if (!options.certFile.empty()) {
        tls = SSL_CTX_new(TLS_server_method());
        if (tls == nullptr ||
            SSL_CTX_use_certificate_chain_file(tls, options.certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls, options.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            char reason[256];
            ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
            std::fprintf(stderr, "cedar_demo_host: the certificate or key cannot be used: %s\n",
                         reason);
            return 2;
        }
    }

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(options.port));
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "cedar_demo_host: cannot listen on 127.0.0.1:%d: %s\n", options.port,
                     std::strerror(errno));
        return 2;
    }
    std::printf("cedar_demo_host: listening on 127.0.0.1:%d%s\n", ntohs(address.sin_port),
                tls != nullptr ? " (TLS)" : "");
    std::fflush(stdout);
    for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "cedar_demo_host: accept: %s\n", std::strerror(errno));
            return 1;
        }
        std::thread(serve, client, tls, std::cref(*panels), options.tn3270e, dataSets.get())
            .detach();
    }
}
