#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace tavrel {

// The HTTP server of watch --metrics, as tavrelctl sees it. It lives in a module of its
// own, loaded only when metrics are served: Qt's network libraries beneath it would
// otherwise be loaded at the start of every command.
class MetricsEndpoint {
public:
    virtual ~MetricsEndpoint() = default;

    // Takes ADDRESS:PORT with an IP address (127.0.0.1:9755, [::1]:9755; 0.0.0.0 or [::]
    // for every interface; port 0 lets the system choose one). False, with the reason in
    // *problem, for anything else.
    virtual bool setAddress(const QString& text, QString* problem) = 0;
    // Answers GET /metrics there with what text gives, from a thread of its own, so a
    // scrape is answered during a scan and never waits for it; "" or why it could not
    // listen (a port in use, say).
    virtual QString listen() = 0;
    // The address served, as a URL of the metrics.
    virtual QString url() const = 0;
};

// The endpoint from the module next to the program; null, with the reason in *problem,
// when the module cannot be loaded.
std::unique_ptr<MetricsEndpoint> loadMetricsEndpoint(std::function<QByteArray()> text,
                                                     QString* problem);

}  // namespace tavrel
