#pragma once

#include <gtest/gtest.h>
#include <QProcess>
#include <QStringList>

namespace tavrel::test {

// What one run of the built tavrelctl gave.
struct CommandRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs tavrelctl as an operator would, in the given environment and with input on its
// standard input, and waits for it.
inline CommandRun runTavrelctl(
    const QStringList& args,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
    const QByteArray& input = QByteArray()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TAVRELCTL_PATH), args);
    process.write(input);
    process.closeWriteChannel();
    CommandRun result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tavrelctl did not finish: " << args.join(' ').toStdString();
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

}  // namespace tavrel::test
