// The line view: a read-only web page of the production records that the
// stations of a line share, with its JSON API, served over HTTP. Every
// request reads the records afresh from a snapshot (OpenStoreSnapshot), so
// the view holds nothing open between requests and never makes a station
// wait.
#pragma once

#include <memory>
#include <string>

namespace orvan::web {

inline constexpr int DefaultPort = 8080;
inline constexpr const char* DefaultListen = "127.0.0.1:8080";
// Chart.js as Debian's libjs-chart.js installs it; the page is served
// without it, the charts then left out.
inline constexpr const char* DefaultChartJs = "/usr/share/javascript/chart.js/chart.min.js";

// Where the view listens: "HOST:PORT", "HOST" (port 8080), "[V6]:PORT".
struct TListenAddress {
    std::string Host;
    int Port = DefaultPort; // 0: any free port
    bool Loopback = false;  // only this machine can reach it
};
bool ParseListen(const std::string& text, TListenAddress& address, std::string& error);

struct TServeOptions {
    std::string Database; // as OpenStoreSnapshot takes it
    TListenAddress Listen;
    // Every request must carry it (header, query or the page's cookie);
    // required off the loopback.
    std::string Token;
    std::string ChartJs = DefaultChartJs;
};

// False with `error` for options that would expose the records: an
// address other machines can reach, without a token.
bool CheckServeOptions(const TServeOptions& options, std::string& error);

class TLineServer {
  public:
    explicit TLineServer(TServeOptions options);
    ~TLineServer();
    TLineServer(const TLineServer&) = delete;
    TLineServer& operator=(const TLineServer&) = delete;

    // Binds the address; false with `error`.
    bool Bind(std::string& error);
    // The port bound.
    int Port() const;
    // Serves until Stop; false when it could not.
    bool Run();
    // From any thread.
    void Stop();

  private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

} // namespace orvan::web
