#include "MetricsEndpoint.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace tavrel {

std::unique_ptr<MetricsEndpoint> loadMetricsEndpoint(std::function<QByteArray()> text,
                                                     QString* problem) {
    // Where it lies from the program, installed (bin/, lib/tavrel/) and in the build tree.
    QLibrary module(QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                    QStringLiteral(TAVREL_METRICS_MODULE)));
    using Make = MetricsEndpoint* (*)(std::function<QByteArray()>*);
    const auto make = reinterpret_cast<Make>(module.resolve("tavrelMetricsEndpoint"));
    if (make == nullptr) {
        *problem = module.errorString();
        return nullptr;
    }
    // The module stays loaded: QLibrary unloads only when told to.
    return std::unique_ptr<MetricsEndpoint>(make(&text));
}

}  // namespace tavrel
