#pragma once
#include <QStringList>

namespace owb::cli {

// Runs one owb invocation (the arguments after the program name); returns the exit status:
// 0 done, 1 the operation failed, 2 usage error.
int run(const QStringList &arguments);

} // namespace owb::cli
