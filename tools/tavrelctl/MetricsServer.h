#pragma once

#include <QHostAddress>
#include <QString>
#include <QThread>

#include "MetricsEndpoint.h"

class QHttpServer;

namespace tavrel {

// The endpoint on Qt HTTP Server, made and ended on a thread of its own.
class MetricsServer : public MetricsEndpoint {
public:
    explicit MetricsServer(std::function<QByteArray()> text);
    ~MetricsServer() override;
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    bool setAddress(const QString& text, QString* problem) override;
    QString listen() override;
    QString url() const override;

private:
    const std::function<QByteArray()> m_text;
    QThread m_thread;
    QObject* m_home = nullptr;  // lives in m_thread: the server is made and ended there
    QHttpServer* m_server = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
};

}  // namespace tavrel

// What the module gives tavrelctl: a new endpoint serving what text gives.
extern "C" tavrel::MetricsEndpoint* tavrelMetricsEndpoint(std::function<QByteArray()>* text);
