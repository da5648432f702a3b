#pragma once

#include "common/ChildProcess.h"

#include <QString>
#include <QStringList>

namespace qnt::test {

// What a program prints (standard output, then standard error interleaved as written), for
// tests that hold their paths and arguments as Qt strings.
inline QString childOutput(const QString &program, const QStringList &arguments)
{
    std::vector<std::string> command{program.toStdString()};
    for (const QString &argument : arguments)
        command.push_back(argument.toStdString());
    ChildOptions options;
    options.standardError = ChildOptions::StandardError::Merged;
    return QString::fromStdString(runChild(command, options).output);
}

} // namespace qnt::test
